#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

namespace zv {

// One running program owns a program folder: it holds a lock file there and answers a second
// start on the same folder, which asks it to bring its window to the front and then ends. A lock
// left by a program that died is taken over. Programs on different folders never meet.
class FolderOwner : public QObject
{
    Q_OBJECT

public:
    enum class Claim {
        Owner,         // this program owns the folder and answers later starts
        Unowned,       // the folder cannot hold a lock (read-only, missing): run as before
        OwnerAnswered, // another program owns it and has come to the front: end quietly
        OwnerSilent,   // another program owns it but did not answer in time
    };

    // `bringToFront` runs in the owner when a later start asks for its window.
    FolderOwner(const QString &folder, std::function<void()> bringToFront, QObject *parent = nullptr);
    ~FolderOwner() override;

    Claim claim();

    // The lock file in a program folder and the address its owner listens on (private to the
    // user: the runtime folder when there is one, else the temporary folder).
    static QString lockFilePath(const QString &folder);
    static QString serverName(const QString &folder);

private:
    bool listen();
    void answer();
    bool askOwner() const;

    QString m_folder;
    std::function<void()> m_bringToFront;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace zv
