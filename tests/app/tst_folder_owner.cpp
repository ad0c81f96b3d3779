#include "ScopedEnv.h"
#include "ScriptedSeam.h"
#include "app/FolderOwner.h"
#include "core/ProgramFolder.h"
#include "core/Settings.h"
#include "core/store/CatalogueStore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using Claim = zv::FolderOwner::Claim;

namespace {

constexpr int kWaitMs = 60000; // the program starts slowly under the sanitizers
constexpr uid_t kOtherUser = 65534;

// A program folder with a catalogue and no splash screen.
std::unique_ptr<QTemporaryDir> preparedFolder()
{
    auto folder = std::make_unique<QTemporaryDir>();
    const zvtest::ScopedEnv home("ZORVANELL_HOME", folder->path().toUtf8());
    CreateCatalogue(zv::cataloguePath());
    zv::writeOptionFlag(zv::Option::SplashScreen, false);
    return folder;
}

QString lockFile(const QTemporaryDir &folder)
{
    return zv::FolderOwner::lockFilePath(folder.path());
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

// True once `program` has stamped the folder's lock file with its process id, as its owner does.
bool waitForOwner(const QString &folder, const QProcess &program)
{
    const QByteArray pid = QByteArray::number(program.processId()) + '\n';
    const QDeadlineTimer deadline(kWaitMs);
    while (!deadline.hasExpired() && program.state() != QProcess::NotRunning) {
        QFile lock(zv::FolderOwner::lockFilePath(folder));
        if (QFileInfo(lock).isFile() && lock.open(QIODevice::ReadOnly) && lock.read(pid.size()) == pid)
            return true;
        QTest::qWait(100);
    }
    return false;
}

void stop(QProcess &program)
{
    program.kill();
    program.waitForFinished(kWaitMs);
}

// The folder's lock held by this test, as a program that never answers holds it.
class HeldLock
{
public:
    HeldLock(const QString &path, const QByteArray &content)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644))
    {
        held = m_fd >= 0 && ::write(m_fd, content.constData(), size_t(content.size())) == content.size() &&
               ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~HeldLock() { ::close(m_fd); }
    bool held = false;

private:
    int m_fd;
};

// Another local user who listens at the address given before anyone else, answers as an owner
// would and prints what it hears; run with setpriv under that user's id.
const QString kImpostor = QStringLiteral(R"(
import os, socket, sys
os.makedirs(os.path.dirname(sys.argv[1]), exist_ok=True)
server = socket.socket(socket.AF_UNIX)
server.bind(sys.argv[1])
server.listen(4)
print("listening", end="", flush=True)
while True:
    call = server.accept()[0]
    sys.stdout.buffer.write(call.recv(64))
    sys.stdout.flush()
    call.sendall(b"raised\n")
    call.close()
)");

// A folder for XDG_RUNTIME_DIR or TMPDIR with the given mode (chmod's, so the sticky bit works too).
QString folderWithMode(const QTemporaryDir &parent, const QString &name, mode_t mode)
{
    const QString path = parent.filePath(name);
    QDir().mkpath(path);
    ::chmod(QFile::encodeName(path).constData(), mode);
    return path;
}

bool isPrivate(const QString &folder)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

} // namespace

class tst_folder_owner : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime; // private, like a session's; the programs started here listen in it

private slots:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path())); }

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

    // Nothing but a held lock keeps a start out: what a killed program, a power loss (an empty file),
    // another computer (a folder on a USB stick) or anybody else left in the lock's place is taken
    // over, and a link is not followed.
    void aLockNobodyHoldsIsTakenOver_data()
    {
        QTest::addColumn<QString>("left");
        QTest::newRow("killed program") << QStringLiteral("killed");
        QTest::newRow("empty file") << QStringLiteral("empty");
        QTest::newRow("another computer's") << QStringLiteral("foreign");
        QTest::newRow("empty folder") << QStringLiteral("folder");
        QTest::newRow("FIFO") << QStringLiteral("fifo");
        QTest::newRow("link to a file elsewhere") << QStringLiteral("link");
    }

    void aLockNobodyHoldsIsTakenOver()
    {
        QFETCH(QString, left);
        const auto folder = preparedFolder();
        const QString lock = lockFile(*folder);
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("precious"));
        QFile precious(target);
        QVERIFY(precious.open(QIODevice::WriteOnly) && precious.write("precious") == 8);
        precious.close();
        if (left == QLatin1String("killed")) {
            const auto killed = startProgram(folder->path());
            QVERIFY(waitForOwner(folder->path(), *killed));
            stop(*killed);
        } else if (left == QLatin1String("empty") || left == QLatin1String("foreign")) {
            QFile file(lock);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (left == QLatin1String("foreign"))
                file.write("4242\nZorvanell\nother-computer.example\n0f6a1c\nlistening\n");
        } else if (left == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(lock));
        } else if (left == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0644), 0);
        } else {
            QVERIFY(QFile::link(target, lock));
        }

        const auto next = startProgram(folder->path());
        QVERIFY(waitForOwner(folder->path(), *next));
        QVERIFY(!QFileInfo(lock).isSymLink());
        QVERIFY(precious.open(QIODevice::ReadOnly));
        QCOMPARE(precious.readAll(), QByteArray("precious"));
        stop(*next);
    }

    // Where the program cannot tell whether the owner still runs, the user is asked, with the lock
    // file named; at once when the owner is on another computer, which no start here can reach.
    void anOwnerThatDoesNotAnswerMayBeTakenOver_data()
    {
        QTest::addColumn<QByteArray>("stamp");
        QTest::addColumn<zv::MessageAnswer>("answer");
        QTest::addColumn<Claim>("expected");
        QTest::addColumn<QString>("said");
        QTest::newRow("silent here, taken over")
            << QByteArray() << zv::MessageAnswer::Yes << Claim::Owner << QStringLiteral("не отвечает");
        QTest::newRow("silent here, left to it")
            << QByteArray() << zv::MessageAnswer::No << Claim::Refused << QStringLiteral("не отвечает");
        QTest::newRow("another computer")
            << QByteArray("4242\nZorvanell\nother-computer.example\n0f6a1c\nlistening\n") << zv::MessageAnswer::Yes
            << Claim::Owner << QStringLiteral("на компьютере «other-computer.example»");
    }

    void anOwnerThatDoesNotAnswerMayBeTakenOver()
    {
        QFETCH(QByteArray, stamp);
        QFETCH(zv::MessageAnswer, answer);
        QFETCH(Claim, expected);
        QFETCH(QString, said);
        const auto folder = preparedFolder();
        const HeldLock held(lockFile(*folder), stamp);
        QVERIFY(held.held);
        zvtest::ScriptedSeam seam;
        seam.messageAnswers << answer;
        zv::FolderOwner owner(folder->path(), {});
        owner.setAnswerWait(stamp.isEmpty() ? 300 : 5000);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(owner.claim(), expected);
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(seam.messages.size(), 1);
        QCOMPARE(seam.messages[0].form, zv::MessageForm::YesNoQuestion);
        QVERIFY2(seam.messages[0].text.contains(said), qPrintable(seam.messages[0].text));
        QVERIFY2(seam.messages[0].text.contains(lockFile(*folder)), qPrintable(seam.messages[0].text));
        if (expected == Claim::Owner) {
            QFile lock(lockFile(*folder));
            QVERIFY(lock.open(QIODevice::ReadOnly));
            QVERIFY(lock.readLine() == QByteArray::number(QCoreApplication::applicationPid()) + '\n');
        }
    }

    void whatCannotBeRemovedIsNamed()
    {
        const auto folder = preparedFolder();
        QVERIFY(QDir().mkpath(lockFile(*folder) + QStringLiteral("/someone's")));
        zvtest::ScriptedSeam seam;
        zv::FolderOwner owner(folder->path(), {});
        owner.setAnswerWait(300);
        QCOMPARE(owner.claim(), Claim::Refused);
        QCOMPARE(seam.messages.size(), 1);
        QVERIFY2(seam.messages[0].text.contains(lockFile(*folder)), qPrintable(seam.messages[0].text));
        QVERIFY(QFileInfo(lockFile(*folder) + QStringLiteral("/someone's")).isDir());
    }

    // Whatever the runtime folder is like, the address lies in a folder only this user may enter.
    void theAddressIsPrivate_data()
    {
        QTest::addColumn<QString>("runtime"); // how XDG_RUNTIME_DIR is set up
        QTest::newRow("none") << QStringLiteral("none");
        QTest::newRow("private") << QStringLiteral("private");
        QTest::newRow("open to others") << QStringLiteral("open");
        QTest::newRow("another user's") << QStringLiteral("foreign");
        QTest::newRow("a link to a private folder") << QStringLiteral("link");
    }

    void theAddressIsPrivate()
    {
        QFETCH(QString, runtime);
        if (runtime == QLatin1String("foreign") && ::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        const auto folder = preparedFolder();
        QTemporaryDir places;
        const zvtest::ScopedEnv tmp("TMPDIR", QFile::encodeName(folderWithMode(places, QStringLiteral("tmp"), 01777)));
        QString xdg = folderWithMode(places, QStringLiteral("run"), runtime == QLatin1String("open") ? 0755 : 0700);
        if (runtime == QLatin1String("foreign"))
            QCOMPARE(::chown(QFile::encodeName(xdg).constData(), kOtherUser, kOtherUser), 0);
        if (runtime == QLatin1String("link")) {
            QVERIFY(QFile::link(xdg, places.filePath(QStringLiteral("link"))));
            xdg = places.filePath(QStringLiteral("link"));
        }
        const QByteArray xdgValue = QFile::encodeName(xdg);
        const zvtest::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime == QLatin1String("none") ? nullptr : &xdgValue);

        zv::FolderOwner owner(folder->path(), {});
        QCOMPARE(owner.claim(), Claim::Owner);
        const QString address = zv::FolderOwner::serverName(folder->path());
        QVERIFY2(QFileInfo(address).exists(), qPrintable(address));
        QVERIFY2(isPrivate(QFileInfo(address).path()), qPrintable(address));
    }

    // Another user who listens first where a second start would call hears nothing and answers for
    // nobody.
    void anotherUserCannotAnswerForTheOwner()
    {
        if (::geteuid() != 0)
            QSKIP("running a process as another user needs root");
        const auto folder = preparedFolder();
        QTemporaryDir places;
        QCOMPARE(::chmod(QFile::encodeName(places.path()).constData(), 0755), 0);
        const zvtest::ScopedEnv tmp("TMPDIR", QFile::encodeName(folderWithMode(places, QStringLiteral("tmp"), 01777)));
        const zvtest::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", nullptr);
        QProcess impostor;
        impostor.start(QStringLiteral("setpriv"),
                       {QStringLiteral("--reuid=%1").arg(kOtherUser), QStringLiteral("--regid=%1").arg(kOtherUser),
                        QStringLiteral("--clear-groups"), QStringLiteral("/usr/bin/python3"), QStringLiteral("-c"),
                        kImpostor, zv::FolderOwner::serverName(folder->path())});
        QVERIFY(impostor.waitForReadyRead(kWaitMs));
        QVERIFY(impostor.readAllStandardOutput().startsWith("listening"));
        const HeldLock held(lockFile(*folder), QByteArray());
        QVERIFY(held.held);

        zvtest::ScriptedSeam seam;
        zv::FolderOwner second(folder->path(), {});
        second.setAnswerWait(500);
        QVERIFY(second.claim() != Claim::OwnerAnswered);
        impostor.kill();
        impostor.waitForFinished();
        QCOMPARE(impostor.readAllStandardOutput(), QByteArray());
    }

    // An owner that cannot listen is told of by the next start at once, not after a wait.
    void anOwnerThatCannotListenIsToldOfAtOnce()
    {
        const auto folder = preparedFolder();
        QTemporaryDir places;
        // A private runtime folder whose path is too long for a local socket's address.
        const QString deep =
            places.filePath(QString(60, QLatin1Char('d')) + QLatin1Char('/') + QString(60, QLatin1Char('e')));
        QVERIFY(QDir().mkpath(deep));
        QCOMPARE(::chmod(QFile::encodeName(deep).constData(), 0700), 0);
        const zvtest::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", QFile::encodeName(deep));
        const auto first = startProgram(folder->path());
        QVERIFY(waitForOwner(folder->path(), *first));

        zvtest::ScriptedSeam seam;
        zv::FolderOwner second(folder->path(), {});
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(second.claim(), Claim::Refused);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(seam.messageTexts().size(), 1);
        QVERIFY2(seam.messageTexts()[0].contains(QStringLiteral("не может принимать")),
                 qPrintable(seam.messageTexts()[0]));
        QCOMPARE(first->state(), QProcess::Running);
        stop(*first);
    }

    // The folder reached through a bind mount is the same folder: the start there reaches its owner.
    void anotherPathToTheFolderReachesItsOwner()
    {
        if (::geteuid() != 0)
            QSKIP("a bind mount needs root");
        const auto folder = preparedFolder();
        QTemporaryDir mountPoint;
        QCOMPARE(
            QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), folder->path(), mountPoint.path()}),
            0);
        const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mountPoint.path()}); });
        QCOMPARE(zv::FolderOwner::serverName(mountPoint.path()), zv::FolderOwner::serverName(folder->path()));
        const auto first = startProgram(folder->path());
        QVERIFY(waitForOwner(folder->path(), *first));

        zvtest::ScriptedSeam seam;
        zv::FolderOwner second(mountPoint.path(), {});
        QCOMPARE(second.claim(), Claim::OwnerAnswered);
        stop(*first);
    }
};

QTEST_GUILESS_MAIN(tst_folder_owner)
#include "tst_folder_owner.moc"
