#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <stdexcept>

namespace zv::interchange {

// An export that cannot go on, with the reason in Russian.
class ExportFailure : public std::runtime_error
{
public:
    explicit ExportFailure(QString message)
        : std::runtime_error("export failed")
        , m_message(std::move(message))
    {
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// A file of an export written through a buffer: a million small writes would cost more than
// the export itself. Throws ExportFailure when the disk refuses.
class OutFile
{
public:
    explicit OutFile(const QString &path);
    ~OutFile();
    OutFile(const OutFile &) = delete;
    OutFile &operator=(const OutFile &) = delete;

    // What is appended here is written once the buffer is full, or by close().
    QByteArray &buffer() { return m_buffer; }
    void flushIfFull();
    void close();

private:
    void flush();

    QFile m_file;
    QByteArray m_buffer;
};

} // namespace zv::interchange
