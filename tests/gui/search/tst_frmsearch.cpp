// The search window over the real main window: Ctrl+F and the magnifier open it, results show
// category, name and marked snippet, the preview marks the words in plain text, Enter shows
// the entry in the main window as if it had been clicked, and the window follows changes made
// in the main window.
#include "MainWindowFixture.h"
#include "core/search/SearchIndex.h"
#include "core/search/SessionIndex.h"
#include "gui/search/frmSearch.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMap>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>
#include <QTreeWidget>

#include <cmath>

namespace {

struct Entry
{
    QString table, name, text;
};

QString starterText(const QString &file)
{
    QFile text(QStringLiteral(ZV_STARTER_TEXTS "/") + file);
    return text.open(QIODevice::ReadOnly) ? QString::fromUtf8(text.readAll()) : QString();
}

struct SearchFixture : MainWindowFixture
{
    std::unique_ptr<frmMain> main;
    zv::search::SearchIndex *index = nullptr;
    frmSearch *window = nullptr;

    explicit SearchFixture(
        const QList<Entry> &entries = {
            {QStringLiteral("Programs"), QStringLiteral("Блокнот"), QStringLiteral("Нажмите F5: вставится время")},
            {QStringLiteral("OS"), QStringLiteral("Debian"), QStringLiteral("apt-get moo\nAPT нарисует корову")},
            {QStringLiteral("Games"), QStringLiteral("Коровы"), QStringLiteral("Секретный уровень")},
        })
    {
        for (const Entry &entry : entries)
            add(entry.table, entry.name, entry.text);
        index = zv::search::attachSearchIndex(*session, home.file(QStringLiteral("Zorvanell.dat")));
        QVERIFY(index->waitForIdle(60000));
        main = openMain();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        // Ctrl+F in the main window.
        QTest::keyClick(main.get(), Qt::Key_F, Qt::ControlModifier);
        window = main->findChild<frmSearch *>();
    }
    QTreeWidget *results() const { return window->findChild<QTreeWidget *>(QStringLiteral("lstResults")); }
    // Types the query and waits for the answer, which comes from the index's thread.
    void query(const QString &text)
    {
        QSignalSpy answered(index, &zv::search::SearchIndex::searched);
        auto *box = window->findChild<QLineEdit *>(QStringLiteral("txtQuery"));
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(answered.wait(30000));
    }
    QString found() const { return window->findChild<QLabel *>(QStringLiteral("lblFound"))->text(); }
    QString status() const { return window->findChild<QLabel *>(QStringLiteral("lblStatus"))->text(); }

    // Where a cell of the list shows a marked word, as drawn: the box of the mark's yellow in
    // the cell's visible part (empty when none is in sight), the picture and that yellow as
    // painted (a selected row's focus frame tints it).
    QRect markIn(int row, int column, QImage *picture, QRgb *yellow = nullptr) const
    {
        QTreeWidget *list = results();
        *picture = list->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect cell = list->visualRect(list->model()->index(row, column)) & list->viewport()->rect();
        QRect mark;
        QMap<QRgb, int> yellows;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QRgb c = picture->pixel(x, y);
                if (qRed(c) > 200 && qGreen(c) > 180 && qBlue(c) < 160) {
                    mark |= QRect(x, y, 1, 1);
                    ++yellows[c];
                }
            }
        }
        if (yellow && !yellows.isEmpty())
            *yellow = std::max_element(yellows.begin(), yellows.end()).key();
        return mark;
    }
};

// WCAG's contrast ratio of two colours, 1 (same) to 21 (black on white).
double contrast(QRgb a, QRgb b)
{
    auto luminance = [](QRgb c) {
        auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

class TestFrmSearch : public QObject
{
    Q_OBJECT

private slots:
    void opensFromTheMainWindow()
    {
        SearchFixture f;
        QVERIFY(f.window && f.window->isVisible());
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Поиск по описаниям"));
        // The magnifier inside the search box opens the same window.
        QAction *magnifier = nullptr;
        for (QAction *action : MainWindowFixture::search(*f.main)->actions()) {
            if (action->objectName() == QLatin1String("actFullTextSearch"))
                magnifier = action;
        }
        QVERIFY(magnifier);
        f.window->close();
        magnifier->trigger();
        QCOMPARE(f.main->findChildren<frmSearch *>().size(), 1);
        QVERIFY(f.window->isVisible());
        QVERIFY(f.window->findChild<QLabel *>(QStringLiteral("lblStatus"))
                    ->text()
                    .startsWith(QStringLiteral("Указатель готов")));
    }

    void resultsAndPreview()
    {
        SearchFixture f;
        f.query(QStringLiteral("коровы"));
        QCOMPARE(f.found(), QStringLiteral("Найдено: 2"));
        QTreeWidget *list = f.results();
        QCOMPARE(list->topLevelItemCount(), 2);
        // The match in the name ranks first.
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("Коровы"));
        const QTreeWidgetItem *debian = list->topLevelItem(1);
        QCOMPARE(debian->text(0), QStringLiteral("Операционные системы"));
        QCOMPARE(debian->text(2), QStringLiteral("apt-get moo APT нарисует корову")); // one line
        list->setCurrentItem(list->topLevelItem(1));
        auto *preview = f.window->findChild<QTextEdit *>(QStringLiteral("txtPreview"));
        const QString text = QStringLiteral("apt-get moo\nAPT нарисует корову");
        QCOMPARE(preview->toPlainText(), text);
        auto boldAt = [&](qsizetype position) {
            QTextCursor cursor(preview->document());
            cursor.setPosition(int(position) + 1);
            return cursor.charFormat().fontWeight() == QFont::Bold;
        };
        QVERIFY(boldAt(text.indexOf(QStringLiteral("корову"))));
        QVERIFY(!boldAt(text.indexOf(QStringLiteral("нарисует"))));
    }

    void markedWordsReadable_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("selected row, name") << 0 << 1;
        QTest::newRow("other row, snippet") << 1 << 2;
    }
    void markedWordsReadable()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        SearchFixture f;
        f.query(QStringLiteral("коровы"));
        QCOMPARE(f.results()->currentItem(), f.results()->topLevelItem(0));
        QImage picture;
        QRgb yellow = 0;
        const QRect mark = f.markIn(row, column, &picture, &yellow);
        QVERIFY(!mark.isEmpty());
        // The letters on the mark stand out from it as body text must (WCAG AA: 4.5).
        double best = 1;
        for (int y = mark.top(); y <= mark.bottom(); ++y) {
            for (int x = mark.left(); x <= mark.right(); ++x)
                best = std::max(best, contrast(picture.pixel(x, y), yellow));
        }
        QVERIFY2(best >= 4.5, qPrintable(QString::number(best)));
    }

    void snippetShowsTheMatch_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("query");
        QTest::newRow("Debian, коровы") << "OS"
                                        << "Debian" << QStringLiteral("коровы");
        QTest::newRow("Doom, phrase") << "Games"
                                      << "Doom" << QStringLiteral("\"режим бога\"");
    }
    void snippetShowsTheMatch()
    {
        QFETCH(QString, table);
        QFETCH(QString, name);
        QFETCH(QString, query);
        const QString text = starterText(table + QLatin1Char('/') + name + QStringLiteral(".txt"));
        QVERIFY(!text.isEmpty());
        SearchFixture f({{table, name, text}});
        f.query(query);
        QCOMPARE(f.results()->topLevelItemCount(), 1);
        QImage picture;
        QVERIFY2(!f.markIn(0, 2, &picture).isEmpty(), qPrintable(f.results()->topLevelItem(0)->text(2)));
    }

    void followsChangesMadeInTheMainWindow_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("count");
        QTest::newRow("add") << "add" << QStringLiteral("Найдено: 3") << QStringLiteral("записей 4");
        QTest::newRow("delete") << "delete" << QStringLiteral("Найдено: 1") << QStringLiteral("записей 2");
    }
    void followsChangesMadeInTheMainWindow()
    {
        QFETCH(QString, change);
        QFETCH(QString, found);
        QFETCH(QString, count);
        SearchFixture f;
        f.query(QStringLiteral("коровы"));
        QCOMPARE(f.found(), QStringLiteral("Найдено: 2"));
        QVERIFY(f.status().endsWith(QStringLiteral("записей 3")));
        // As the main window's buttons do it: through the session.
        f.session->showCategory(QStringLiteral("OS"));
        if (change == QLatin1String("add")) {
            f.session->addEntry(QStringLiteral("Ubuntu"), QStringLiteral("Та же корова"));
        } else {
            f.session->selectRow(0);
            QCOMPARE(f.session->selectedName(), QStringLiteral("Debian"));
            f.session->deleteCurrent();
        }
        QTRY_COMPARE(f.found(), found);
        QTRY_VERIFY2(f.status().endsWith(count), qPrintable(f.status()));
    }

    void enterShowsTheEntryInTheMainWindow()
    {
        SearchFixture f;
        f.query(QStringLiteral("нарисует"));
        QTreeWidget *list = f.results();
        QCOMPARE(list->topLevelItemCount(), 1);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(f.main->findChild<QComboBox *>(QStringLiteral("Combo1"))->currentText(),
                 QStringLiteral("Операционные системы"));
        QCOMPARE(f.session->CurrentTable(), QStringLiteral("OS"));
        QCOMPARE(f.main->selectedName(), QStringLiteral("Debian"));
        QCOMPARE(MainWindowFixture::text(*f.main)->toPlainText(), QStringLiteral("apt-get moo\nAPT нарисует корову"));
        QVERIFY(!f.main->moveAction(QStringLiteral("OS"))->isVisible());
        QVERIFY(f.main->moveAction(QStringLiteral("Programs"))->isVisible());
    }

    void searchesTheShownCategoryOnly()
    {
        SearchFixture f;
        auto *scope = f.window->findChild<QComboBox *>(QStringLiteral("cmbScope"));
        QCOMPARE(scope->itemText(1), QStringLiteral("В разделе «Программы»"));
        scope->setCurrentIndex(1);
        f.query(QStringLiteral("коровы"));
        QCOMPARE(f.results()->topLevelItemCount(), 0);
        QCOMPARE(f.found(), QStringLiteral("Найдено: 0"));
        f.query(QStringLiteral("*"));
        QVERIFY(f.found().contains(QStringLiteral("звёздочк")));
    }
};

QTEST_MAIN(TestFrmSearch)
#include "tst_frmsearch.moc"
