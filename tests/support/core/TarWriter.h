#pragma once

#include <QByteArray>

namespace zvtest {

// Builds a tar archive (ustar) member by member, hostile members included: links, devices,
// FIFOs, absolute names and "..", which no archiver makes from a folder on purpose.
class TarWriter
{
public:
    enum class Type : char {
        File = '0',
        HardLink = '1',
        SymLink = '2',
        CharDevice = '3',
        Directory = '5',
        Fifo = '6',
    };

    TarWriter &file(const QByteArray &name, const QByteArray &content, int mode = 0644);
    TarWriter &directory(const QByteArray &name);
    // A member of any type; `link` is the target of a link.
    TarWriter &member(const QByteArray &name, Type type, const QByteArray &link = {});

    // The archive with its closing zero blocks.
    QByteArray bytes() const;

private:
    void header(const QByteArray &name, Type type, qint64 size, int mode, const QByteArray &link);

    QByteArray m_data;
};

} // namespace zvtest
