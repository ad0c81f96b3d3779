#include "core/interchange/ExportFiles.h"

#include <QFileInfo>

namespace zv::interchange {

namespace {
constexpr qsizetype kBufferBytes = 1 << 20;
}

OutFile::OutFile(const QString &path)
    : m_file(path)
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw ExportFailure(QStringLiteral("Не удалось создать файл «") + QFileInfo(path).fileName() +
                            QStringLiteral("»: ") + m_file.errorString());
    m_buffer.reserve(kBufferBytes + kBufferBytes / 4);
}

OutFile::~OutFile() = default;

void OutFile::flushIfFull()
{
    if (m_buffer.size() >= kBufferBytes)
        flush();
}

void OutFile::flush()
{
    if (m_file.write(m_buffer) != m_buffer.size())
        throw ExportFailure(QStringLiteral("Не удалось записать файл «") + QFileInfo(m_file).fileName() +
                            QStringLiteral("»: ") + m_file.errorString());
    m_buffer.clear();
}

void OutFile::close()
{
    flush();
    m_file.close();
}

} // namespace zv::interchange
