#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace zvtest {

// A fresh program folder for one test: ZORVANELL_HOME points at it while this lives.
class TempHome
{
public:
    TempHome();
    ~TempHome();

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const;
    QByteArray read(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};

} // namespace zvtest
