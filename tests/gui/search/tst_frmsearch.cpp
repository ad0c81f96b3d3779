// The search window over the real main window: Ctrl+F and the magnifier open it, results show
// category, name and marked snippet, the preview marks the words in plain text, Enter shows
// the entry in the main window as if it had been clicked.
#include "MainWindowFixture.h"
#include "core/search/SearchIndex.h"
#include "core/search/SessionIndex.h"
#include "gui/search/frmSearch.h"

#include <QAction>
#include <QComboBox>
#include <QTextBlock>
#include <QTextEdit>
#include <QTreeWidget>

namespace {

struct SearchFixture : MainWindowFixture
{
    std::unique_ptr<frmMain> main;
    frmSearch *window = nullptr;

    SearchFixture()
    {
        add(QStringLiteral("Programs"), QStringLiteral("Блокнот"), QStringLiteral("Нажмите F5: вставится время"));
        add(QStringLiteral("OS"), QStringLiteral("Debian"), QStringLiteral("apt-get moo\nAPT нарисует корову"));
        add(QStringLiteral("Games"), QStringLiteral("Коровы"), QStringLiteral("Секретный уровень"));
        zv::search::SearchIndex *index =
            zv::search::attachSearchIndex(*session, home.file(QStringLiteral("Zorvanell.dat")));
        QVERIFY(index->waitForIdle(60000));
        main = openMain();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        // Ctrl+F in the main window.
        QTest::keyClick(main.get(), Qt::Key_F, Qt::ControlModifier);
        window = main->findChild<frmSearch *>();
    }
    QTreeWidget *results() const { return window->findChild<QTreeWidget *>(QStringLiteral("lstResults")); }
    void query(const QString &text)
    {
        auto *box = window->findChild<QLineEdit *>(QStringLiteral("txtQuery"));
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    QString found() const { return window->findChild<QLabel *>(QStringLiteral("lblFound"))->text(); }
};

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
