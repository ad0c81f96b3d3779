#include "SmallDisk.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace zvtest {

namespace {

bool g_privateMounts = false;

} // namespace

void privateMounts()
{
    // Mounts made here must not show up, nor stay, outside this process.
    g_privateMounts = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

SmallDisk::SmallDisk(int megabytes)
{
    if (!g_privateMounts) {
        m_error = QStringLiteral("a small disk is mounted as root only, in a mount namespace of the test's own");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(megabytes) + "m,mode=0700";
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.constData()) != 0) {
        m_error = QStringLiteral("cannot mount a tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

qint64 SmallDisk::freeBytes() const
{
    struct statvfs disk = {};
    ::statvfs(QFile::encodeName(m_dir.path()).constData(), &disk);
    return qint64(disk.f_bavail) * qint64(disk.f_frsize);
}

qint64 SmallDisk::sizeBytes() const
{
    struct statvfs disk = {};
    ::statvfs(QFile::encodeName(m_dir.path()).constData(), &disk);
    return qint64(disk.f_blocks) * qint64(disk.f_frsize);
}

ReadOnlyFolder::ReadOnlyFolder(const QString &folder)
    : m_folder(folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::geteuid() != 0) {
        if (!QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner))
            m_error = QStringLiteral("cannot take the write permission of ") + folder;
        return;
    }
    if (!g_privateMounts) {
        m_error = QStringLiteral("root binds a folder read-only only in a mount namespace of the test's own");
        return;
    }
    m_mounted = ::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) == 0;
    if (!m_mounted || ::mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        m_error = QStringLiteral("cannot bind a folder read-only: ") + QString::fromLocal8Bit(std::strerror(errno));
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    else if (::geteuid() != 0)
        QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace zvtest
