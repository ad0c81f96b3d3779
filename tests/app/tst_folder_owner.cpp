#include "ScopedEnv.h"
#include "app/FolderOwner.h"
#include "core/ProgramFolder.h"
#include "core/Settings.h"
#include "core/store/CatalogueStore.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int kWaitMs = 60000; // the program starts slowly under the sanitizers

// A program folder with a catalogue and no splash screen.
std::unique_ptr<QTemporaryDir> preparedFolder()
{
    auto folder = std::make_unique<QTemporaryDir>();
    const zvtest::ScopedEnv home("ZORVANELL_HOME", folder->path().toUtf8());
    CreateCatalogue(zv::cataloguePath());
    zv::writeOptionFlag(zv::Option::SplashScreen, false);
    return folder;
}

std::unique_ptr<QProcess> startProgram(const QString &folder)
{
    auto program = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZORVANELL_HOME"), folder);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program->setProcessEnvironment(environment);
    program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program->start(QStringLiteral(ZV_PROGRAM), {});
    return program;
}

// True once a program answers on the folder's address, which it does only as the owner.
bool waitForOwner(const QString &folder, const QProcess &program)
{
    const QDeadlineTimer deadline(kWaitMs);
    while (!deadline.hasExpired() && program.state() != QProcess::NotRunning) {
        QLocalSocket probe;
        probe.connectToServer(zv::FolderOwner::serverName(folder));
        if (probe.waitForConnected(200))
            return true;
        QTest::qWait(200);
    }
    return false;
}

void stop(QProcess &program)
{
    program.kill();
    program.waitForFinished(kWaitMs);
}

} // namespace

class tst_folder_owner : public QObject
{
    Q_OBJECT

private slots:
    void aSecondStartOnTheFolderHandsOverAndEnds()
    {
        const auto folder = preparedFolder();
        const auto first = startProgram(folder->path());
        QVERIFY(waitForOwner(folder->path(), *first));

        const auto second = startProgram(folder->path());
        QVERIFY(second->waitForFinished(kWaitMs));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0); // 0 only after the first answered that it came forward
        QCOMPARE(first->state(), QProcess::Running);
        stop(*first);
    }

    void otherFoldersRunSideBySide()
    {
        const auto one = preparedFolder();
        const auto other = preparedFolder();
        QVERIFY(zv::FolderOwner::serverName(one->path()) != zv::FolderOwner::serverName(other->path()));
        const auto first = startProgram(one->path());
        QVERIFY(waitForOwner(one->path(), *first));
        const auto second = startProgram(other->path());
        QVERIFY(waitForOwner(other->path(), *second));
        QCOMPARE(first->state(), QProcess::Running);
        stop(*first);
        stop(*second);
    }

    void theLockOfAKilledProgramIsTakenOver()
    {
        const auto folder = preparedFolder();
        const auto killed = startProgram(folder->path());
        QVERIFY(waitForOwner(folder->path(), *killed));
        stop(*killed);
        QVERIFY(QFile::exists(zv::FolderOwner::lockFilePath(folder->path())));

        const auto next = startProgram(folder->path());
        QVERIFY(waitForOwner(folder->path(), *next));
        stop(*next);
    }
};

QTEST_GUILESS_MAIN(tst_folder_owner)
#include "tst_folder_owner.moc"
