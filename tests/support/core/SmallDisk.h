#pragma once

#include <QString>
#include <QTemporaryDir>

namespace zvtest {

// Gives this process a mount namespace of its own, so that what its tests mount goes when it
// ends, whatever way. Call it first thing in main, before any thread starts; it fails quietly
// without the right to (not root), and SmallDisk then says so.
void privateMounts();

// QTEST_GUILESS_MAIN with privateMounts first, for a test that mounts.
#define ZV_TEST_MAIN_WITH_PRIVATE_MOUNTS(TestObject)                                                                   \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        zvtest::privateMounts();                                                                                       \
        QCoreApplication app(argc, argv);                                                                              \
        TestObject test;                                                                                               \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }

// A small file system (tmpfs) of `megabytes` mounted on a fresh folder for as long as this lives.
class SmallDisk
{
public:
    explicit SmallDisk(int megabytes);
    ~SmallDisk();

    // Empty when mounted; otherwise why not, for QSKIP.
    QString error() const { return m_error; }
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    qint64 freeBytes() const;
    qint64 sizeBytes() const;

private:
    QTemporaryDir m_dir;
    QString m_error;
    bool m_mounted = false;
};

// `folder` refuses new files for as long as this lives. Root writes whatever the permissions say,
// so for root (after privateMounts) the folder is bound read-only onto itself; for anyone else
// its write permission is taken away.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &folder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

    // Empty when the folder is read-only; otherwise why not, for QSKIP.
    QString error() const { return m_error; }

private:
    QString m_folder;
    QString m_error;
    bool m_mounted = false;
};

} // namespace zvtest
