#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/backup/Backups.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "gui/backup/frmBackups.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString kGames = QStringLiteral("Games");

void addEntries(zv::CatalogueSession &session, int from, int count)
{
    for (int i = from; i < from + count; ++i)
        session.addEntry(QStringLiteral("Игра %1").arg(i), QStringLiteral("текст"));
}

// A program folder whose catalogue holds two entries and one backup of them, taken `ago` earlier.
struct Folder
{
    explicit Folder(zv::backup::Reason reason, int ago = 0)
    {
        CreateCatalogue(zv::cataloguePath());
        session.showCategory(kGames);
        addEntries(session, 0, 2);
        zv::backup::Request request;
        request.cataloguePath = zv::cataloguePath();
        request.backupsFolder = backups;
        request.reason = reason;
        request.now = request.now.addSecs(-ago);
        taken = zv::backup::takeBackup(request).backup.has_value();
    }

    zvtest::TempHome home;
    zvtest::ScriptedSeam seam;
    QString backups = zv::backup::backupsFolder(zv::cataloguePath());
    zv::CatalogueSession session{zv::cataloguePath()};
    bool taken = false;
};

} // namespace

class TestFrmBackups : public QObject
{
    Q_OBJECT

private slots:
    void listsBackupsAndTakesOneNow();
    void restoreBacksUpFirst_data();
    void restoreBacksUpFirst();
    void opensTheFolderAndClosesWithEscape();
};

void TestFrmBackups::listsBackupsAndTakesOneNow()
{
    Folder folder(zv::backup::Reason::BeforeUpdate);
    QVERIFY(folder.taken);
    zv::CatalogueSession &session = folder.session;
    zvtest::ScriptedSeam &seam = folder.seam;

    frmBackups window(session);
    window.show();
    auto *list = window.findChild<QTreeWidget *>(QStringLiteral("lstBackups"));
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("перед обновлением базы"));
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("2"));

    addEntries(session, 2, 1);
    window.findChild<QPushButton *>(QStringLiteral("cmdBackupNow"))->click();
    QVERIFY(window.running());
    QVERIFY(window.findChild<QProgressBar *>(QStringLiteral("prgBackup"))->isVisible());
    QTRY_VERIFY(!window.running());
    QVERIFY(!window.findChild<QProgressBar *>(QStringLiteral("prgBackup"))->isVisible());
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->currentItem()->text(1), QStringLiteral("сделана вручную"));
    QCOMPARE(list->currentItem()->text(2), QStringLiteral("3"));
    QVERIFY(seam.messages.isEmpty());
}

void TestFrmBackups::restoreBacksUpFirst_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("accepted") << true;
    QTest::newRow("declined") << false;
}

void TestFrmBackups::restoreBacksUpFirst()
{
    QFETCH(bool, accept);
    Folder folder(zv::backup::Reason::Manual, 60);
    QVERIFY(folder.taken);
    zv::CatalogueSession &session = folder.session;
    zvtest::ScriptedSeam &seam = folder.seam;
    addEntries(session, 2, 3);

    frmBackups window(session);
    seam.messageAnswers.enqueue(accept ? zv::MessageAnswer::Yes : zv::MessageAnswer::No);
    seam.messageAnswers.enqueue(zv::MessageAnswer::Ok);
    window.cmdRestore_Click();
    QTRY_VERIFY(!window.running());
    QCOMPARE(seam.messages.first().form, zv::MessageForm::YesNoQuestion);
    QVERIFY(seam.messages.first().text.contains(QStringLiteral("записей: 2")));
    const auto listed = zv::backup::listBackups(folder.backups);
    if (!accept) {
        QCOMPARE(seam.messages.size(), 1);
        QCOMPARE(listed.size(), size_t(1));
        QCOMPARE(session.count(), 5);
        return;
    }
    QCOMPARE(seam.messages.size(), 2);
    QCOMPARE(seam.messages[1].form, zv::MessageForm::OkInformation);
    QCOMPARE(session.count(), 2);
    QCOMPARE(ListNames(OpenCatalogue(zv::cataloguePath()), kGames).size(), qsizetype(2));
    // The catalogue as it was before the restore is the newest backup: the restore can be taken back.
    QCOMPARE(listed.size(), size_t(2));
    QCOMPARE(listed.front().reason, zv::backup::Reason::BeforeRestore);
    QCOMPARE(listed.front().entries(), qint64(5));
    // Changes go on after it, recorded in the restored history.
    addEntries(session, 10, 1);
    QCOMPARE(session.count(), 3);
    QVERIFY(session.canUndo());
}

void TestFrmBackups::opensTheFolderAndClosesWithEscape()
{
    zvtest::TempHome home;
    zvtest::ScriptedSeam seam;
    CreateCatalogue(zv::cataloguePath());
    zv::CatalogueSession session(zv::cataloguePath());
    QWidget owner;
    QAction *action = backupsWindowAction(&owner);
    QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
    frmBackups *window = openBackupsWindow(&owner, session);
    QCOMPARE(openBackupsWindow(&owner, session), window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    for (const char *name : {"lstBackups", "prgBackup"})
        QVERIFY(!window->findChild<QWidget *>(QLatin1String(name))->accessibleName().isEmpty());

    window->findChild<QPushButton *>(QStringLiteral("cmdOpenFolder"))->click();
    QCOMPARE(seam.opened, QStringList{zv::backup::backupsFolder(zv::cataloguePath())});
    QTest::keyClick(window->findChild<QTreeWidget *>(QStringLiteral("lstBackups")), Qt::Key_Escape);
    QTRY_VERIFY(!window->isVisible());
}

QTEST_MAIN(TestFrmBackups)
#include "tst_frmbackups.moc"
