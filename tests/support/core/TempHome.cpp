#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zvtest {

TempHome::TempHome()
{
    m_hadPrevious = qEnvironmentVariableIsSet("ZORVANELL_HOME");
    m_previous = qgetenv("ZORVANELL_HOME");
    qputenv("ZORVANELL_HOME", QFile::encodeName(m_dir.path()));
}

TempHome::~TempHome()
{
    if (m_hadPrevious)
        qputenv("ZORVANELL_HOME", m_previous);
    else
        qunsetenv("ZORVANELL_HOME");
}

void TempHome::write(const QString &name, const QByteArray &bytes) const
{
    const QString path = file(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray TempHome::read(const QString &name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace zvtest
