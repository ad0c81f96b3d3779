#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace zv {

// One running program owns a program folder: it holds the kernel's lock (flock) on a lock file there
// and answers a second start on the same folder, which asks it to bring its window to the front and
// then ends. The lock ends with the process however it ends, so a lock file left behind by a program
// that died, by a power loss or by another computer is simply taken; only a held lock counts.
// Programs on different folders never meet.
class FolderOwner : public QObject
{
    Q_OBJECT

public:
    enum class Claim {
        Owner,         // this program owns the folder (and answers later starts, when it could listen)
        Unowned,       // the folder cannot hold a lock (read-only, missing): run as before
        OwnerAnswered, // another program owns it and has come to the front: end quietly
        Refused,       // the user has been told why this start ends
    };

    // `bringToFront` runs in the owner when a later start asks for its window.
    FolderOwner(const QString &folder, std::function<void()> bringToFront, QObject *parent = nullptr);
    ~FolderOwner() override;

    // Where the owner cannot be reached, says so through the seam and asks whether to take its lock.
    Claim claim();
    // How long a start waits for an owner that holds the lock but has not answered (yet).
    void setAnswerWait(int ms) { m_answerWaitMs = ms; }

    static QString lockFilePath(const QString &folder);
    // The address the owner listens on: named after the folder's device and inode, so that every
    // path to the folder meets there, in a folder only this user can enter (the session's runtime
    // folder when it is private, else zorvanell-<uid> in the temporary folder). Empty when the
    // program folder cannot be looked at.
    static QString serverName(const QString &folder);

private:
    enum class Lock { Taken, Held, InTheWay, Impossible };
    enum class Call { Answered, NoAnswer };

    Lock takeLock(bool replaceHeld);
    Claim becomeOwner();
    Claim askOwner();
    Call callOwner(int waitMs) const;
    Claim offerTakeOver(const QString &situation);
    bool listen();
    void answer();

    QString m_folder;
    std::function<void()> m_bringToFront;
    int m_answerWaitMs;
    int m_lockFd = -1;
    QLocalServer *m_server = nullptr;
};

} // namespace zv
