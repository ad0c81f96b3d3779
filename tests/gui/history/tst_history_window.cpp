// The journal window over a session with real changes: the rows and what they say, the filters,
// the word differences of an edit, restoring a deleted entry, and the keyboard.
#include "MainWindowFixture.h"
#include "core/store/Category.h"
#include "gui/history/JournalModel.h"
#include "gui/history/frmHistory.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>

namespace {

const QString kNotepadText = QStringLiteral("Нажмите F5: вставится время");
const QString kNotepadEdited = QStringLiteral("Нажмите F5: вставятся дата и время");
const QString kPaintText = QStringLiteral("<b>Нажмите</b> & держите");

// A session with six changes, newest last: Блокнот added and edited, Paint added and deleted,
// Сапёр added and moved to the games.
struct JournalFixture : MainWindowFixture
{
    QWidget owner;
    frmHistory *window = nullptr;

    JournalFixture()
    {
        session->showCategory(QStringLiteral("Programs"));
        const qint64 notepad = session->addEntry(QStringLiteral("Блокнот"), kNotepadText);
        session->editEntry(notepad, QStringLiteral("Блокнот"), kNotepadText, QStringLiteral("Блокнот"), kNotepadEdited);
        session->addEntry(QStringLiteral("Paint"), kPaintText);
        select(QStringLiteral("Paint"));
        session->deleteCurrent();
        session->addEntry(QStringLiteral("Сапёр"), QStringLiteral("Наберите xyzzy"));
        select(QStringLiteral("Сапёр"));
        session->moveCurrent(QStringLiteral("Games"), QStringLiteral("Сапёр"), QStringLiteral("Наберите xyzzy"));
        window = openJournalWindow(&owner, *session);
    }

    void select(const QString &name)
    {
        session->selectRow(session->names().names().indexOf(name));
        QVERIFY(session->findCurrentRecord());
    }

    QTableView *list() const { return window->findChild<QTableView *>(QStringLiteral("lstChanges")); }
    QString cell(int row, int column) const { return list()->model()->index(row, column).data().toString(); }
    // Each row as "what: entry".
    QStringList rows() const
    {
        QStringList shown;
        for (int row = 0; row < list()->model()->rowCount(); ++row)
            shown << cell(row, JournalModel::What) + QStringLiteral(": ") + cell(row, JournalModel::Entry);
        return shown;
    }
    void choose(const QString &what, const QString &entry)
    {
        const int row = int(rows().indexOf(what + QStringLiteral(": ") + entry));
        QVERIFY(row >= 0);
        list()->setCurrentIndex(list()->model()->index(row, 0));
    }
    QTextEdit *pane(const char *name) const { return window->findChild<QTextEdit *>(QString::fromLatin1(name)); }
    QPushButton *restore() const { return window->findChild<QPushButton *>(QStringLiteral("cmdRestore")); }
    QString status() const { return window->findChild<QLabel *>(QStringLiteral("lblStatus"))->text(); }
};

// The character format at `text`'s first letter in the pane.
QTextCharFormat formatAt(QTextEdit *pane, const QString &text)
{
    const QString plain = pane->toPlainText();
    const qsizetype at = plain.indexOf(text);
    if (at < 0)
        return {};
    QTextCursor cursor(pane->document());
    cursor.setPosition(int(at) + 1);
    return cursor.charFormat();
}

} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void listsEveryChangeNewestFirst()
    {
        JournalFixture f;
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Журнал изменений"));
        QCOMPARE(f.rows(),
                 QStringList({QStringLiteral("перенесена в «Игры»: Сапёр"), QStringLiteral("добавлена: Сапёр"),
                              QStringLiteral("удалена: Paint"), QStringLiteral("добавлена: Paint"),
                              QStringLiteral("изменена: Блокнот"), QStringLiteral("добавлена: Блокнот")}));
        QCOMPARE(f.cell(0, JournalModel::Category), QStringLiteral("Программы"));
        QCOMPARE(f.status(), QStringLiteral("Изменений: 6"));
        // An undo marks the change at once; a new change after it leaves it beyond redo.
        QVERIFY(f.session->undo().isEmpty());
        QCOMPARE(f.cell(0, JournalModel::What), QStringLiteral("перенесена в «Игры» (отменено)"));
        f.session->showCategory(QStringLiteral("Programs"));
        f.session->addEntry(QStringLiteral("Калькулятор"), QString());
        QCOMPARE(f.rows().mid(0, 2),
                 QStringList({QStringLiteral("добавлена: Калькулятор"),
                              QStringLiteral("перенесена в «Игры» (отменено, вернуть нельзя): Сапёр")}));
    }

    void updateCounts_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("what");
        QTest::newRow("1") << 1 << QStringLiteral("обновление: 1 запись");
        QTest::newRow("3") << 3 << QStringLiteral("обновление: 3 записи");
        QTest::newRow("11") << 11 << QStringLiteral("обновление: 11 записей");
        QTest::newRow("21") << 21 << QStringLiteral("обновление: 21 запись");
        QTest::newRow("112") << 112 << QStringLiteral("обновление: 112 записей");
        QTest::newRow("500") << 500 << QStringLiteral("обновление: 500 записей");
    }

    void updateCounts()
    {
        QFETCH(int, count);
        QFETCH(QString, what);
        zv::history::ChangeSummary update;
        update.kind = zv::history::ChangeKind::Update;
        update.count = count;
        QCOMPARE(changeWhat(update), what);
    }

    void filters_data()
    {
        QTest::addColumn<bool>("deletedOnly");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("name, other letter case")
            << false << QStringLiteral("БЛОК")
            << QStringList({QStringLiteral("изменена: Блокнот"), QStringLiteral("добавлена: Блокнот")});
        QTest::newRow("deleted only") << true << QString() << QStringList({QStringLiteral("удалена: Paint")});
        QTest::newRow("deleted, by name")
            << true << QStringLiteral("paint") << QStringList({QStringLiteral("удалена: Paint")});
        QTest::newRow("deleted, other name") << true << QStringLiteral("Блокнот") << QStringList();
    }

    void filters()
    {
        QFETCH(bool, deletedOnly);
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        JournalFixture f;
        f.window->findChild<QCheckBox *>(QStringLiteral("chkDeleted"))->setChecked(deletedOnly);
        f.window->findChild<QLineEdit *>(QStringLiteral("txtFilter"))->setText(name);
        QCOMPARE(f.rows(), expected);
        QCOMPARE(f.status(), QStringLiteral("Найдено изменений: %1").arg(expected.size()));
        QCOMPARE(f.pane("txtBefore")->toPlainText().isEmpty(), expected.isEmpty());
    }

    void editShowsTheWordsChanged()
    {
        JournalFixture f;
        f.choose(QStringLiteral("изменена"), QStringLiteral("Блокнот"));
        QTextEdit *before = f.pane("txtBefore");
        QTextEdit *after = f.pane("txtAfter");
        QCOMPARE(before->toPlainText(), QStringLiteral("Блокнот\n\n") + kNotepadText);
        QCOMPARE(after->toPlainText(), QStringLiteral("Блокнот\n\n") + kNotepadEdited);
        QVERIFY(formatAt(before, QStringLiteral("вставится")).fontStrikeOut());
        QVERIFY(!formatAt(before, QStringLiteral("время")).fontStrikeOut());
        QVERIFY(!formatAt(before, QStringLiteral("Нажмите")).fontStrikeOut());
        QVERIFY(formatAt(after, QStringLiteral("дата и")).hasProperty(QTextFormat::BackgroundBrush));
        QVERIFY(!formatAt(after, QStringLiteral("время")).hasProperty(QTextFormat::BackgroundBrush));
        QVERIFY(!formatAt(after, QStringLiteral("вставятся")).fontStrikeOut());
        // An earlier text can be made the text again.
        QVERIFY(f.restore()->isEnabled());
    }

    void sidesOfOneEntry()
    {
        JournalFixture f;
        // A deleted text is shown as it was, markup and all, and not marked against nothing.
        f.choose(QStringLiteral("удалена"), QStringLiteral("Paint"));
        QCOMPARE(f.pane("txtBefore")->toPlainText(), QStringLiteral("Paint\n\n") + kPaintText);
        QVERIFY(!formatAt(f.pane("txtBefore"), QStringLiteral("Нажмите")).fontStrikeOut());
        QCOMPARE(f.pane("txtAfter")->toPlainText(), QStringLiteral("(запись удалена)"));
        QVERIFY(f.restore()->isEnabled());
        f.choose(QStringLiteral("добавлена"), QStringLiteral("Paint"));
        QCOMPARE(f.pane("txtBefore")->toPlainText(), QStringLiteral("(записи не было)"));
        QVERIFY(!f.restore()->isEnabled());
        // A text the catalogue holds no longer as the change left it is not passed off as that one.
        zv::FindResult notepad = FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("Блокнот"));
        UpdateEntry(notepad, QStringLiteral("Блокнот"), QStringLiteral("Изменено в другой программе"));
        f.choose(QStringLiteral("изменена"), QStringLiteral("Блокнот"));
        QCOMPARE(f.pane("txtBefore")->toPlainText(), QStringLiteral("Блокнот\n\n") + kNotepadText);
        QVERIFY(f.pane("txtAfter")->toPlainText().contains(QStringLiteral("(текст не сохранён")));
    }

    void restoresADeletedEntry()
    {
        JournalFixture f;
        f.choose(QStringLiteral("удалена"), QStringLiteral("Paint"));
        QTest::mouseClick(f.restore(), Qt::LeftButton);
        QVERIFY(f.seam.messages.isEmpty());
        const zv::FindResult paint = FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("Paint"));
        QVERIFY(paint.found());
        QCOMPARE(paint.ref, kPaintText);
        // The window follows: the restore is a change of its own, the deletion stays selected.
        QCOMPARE(f.rows().first(), QStringLiteral("восстановлена: Paint"));
        QCOMPARE(f.status(), QStringLiteral("Изменений: 7"));
        QCOMPARE(f.cell(f.list()->currentIndex().row(), JournalModel::What), QStringLiteral("удалена"));
        // Twice is once too many: the seam tells why.
        f.restore()->click();
        QCOMPARE(f.seam.messages.size(), 1);
        QVERIFY(f.seam.messages.first().text.contains(QStringLiteral("уже есть")));
        QCOMPARE(f.rows().size(), 7);
    }

    void keyboard()
    {
        JournalFixture f;
        QCOMPARE(openJournalWindow(&f.owner, *f.session), f.window);
        QCOMPARE(f.list()->accessibleName(), QStringLiteral("Изменения"));
        QCOMPARE(f.window->findChild<QLabel *>(QStringLiteral("lblBefore"))->buddy(), f.pane("txtBefore"));
        QAction *action = journalWindowAction(&f.owner);
        QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
        QVERIFY(action->text().endsWith(QStringLiteral("(Ctrl+H)")));
        QVERIFY(!action->icon().isNull());
        f.owner.show();
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window));
        QTest::keyClick(f.list(), Qt::Key_Escape);
        QVERIFY(!f.window->isVisible());
        // The keyboard is back in the window it was opened from.
        QTRY_VERIFY(f.owner.isActiveWindow());
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_history_window.moc"
