#include "core/lists/ListFile.h"

#include "core/store/NameCollation.h"

#include <QFile>
#include <QSaveFile>

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace zv::lists {

namespace {

constexpr char kMagic[8] = {'Z', 'V', 'L', 'I', 'S', 'T', '\0', '1'};
constexpr qint64 kHeaderSize = 4096;
constexpr int kStateSize = 512;

// The header's fixed part, as stored; the state follows at kStateOffset.
struct Header
{
    char magic[8];
    char collation[128];
    char table[64];
    qint64 count;
    qint64 textUnits;
    quint32 payloadCrc;
    quint32 headerCrc; // of the fields above, with this one zero
};
constexpr qint64 kStateOffset = 1024;
static_assert(sizeof(Header) <= kStateOffset);

// Sizes of the parts after the header, in list order; every part starts aligned for its type.
qint64 payloadSize(qint64 count, qint64 textUnits)
{
    return count * 8 + count * 2 * 4 + (count + 1) * 4 + textUnits * 2;
}

bool setText(char *field, size_t size, const QByteArray &text)
{
    if (size_t(text.size()) >= size)
        return false;
    std::memset(field, 0, size);
    std::memcpy(field, text.constData(), size_t(text.size()));
    return true;
}

quint32 headerCrc(Header header)
{
    header.headerCrc = 0;
    return quint32(crc32(0, reinterpret_cast<const Bytef *>(&header), sizeof header));
}

quint32 crcOf(const void *data, qint64 size, quint32 crc = 0)
{
    const auto *bytes = static_cast<const Bytef *>(data);
    // zlib takes at most 4 GB at once.
    while (size > 0) {
        const uInt part = uInt(std::min<qint64>(size, 1 << 30));
        crc = quint32(crc32(crc, bytes, part));
        bytes += part;
        size -= part;
    }
    return crc;
}

struct Mapping
{
    void *address = MAP_FAILED;
    size_t size = 0;
    ~Mapping()
    {
        if (address != MAP_FAILED)
            ::munmap(address, size);
    }
};

} // namespace

bool writeList(const QString &path, const QString &table, const NameList &list, const QByteArray &state)
{
    const qint64 n = list.size();
    qint64 units = 0;
    for (int p = 0; p < n; ++p)
        units += list.viewAt(p).size();
    Header header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    if (!setText(header.collation, sizeof header.collation, collationVersion()) ||
        !setText(header.table, sizeof header.table, table.toUtf8()) || state.size() >= kStateSize)
        return false;
    header.count = n;
    header.textUnits = units;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray page(kHeaderSize, '\0');
    file.write(page); // the header, once the checksum is known
    quint32 crc = 0;
    QByteArray buffer;
    auto put = [&](const void *data, size_t size) {
        buffer.append(static_cast<const char *>(data), qsizetype(size));
        if (buffer.size() >= (1 << 20)) {
            crc = crcOf(buffer.constData(), buffer.size(), crc);
            file.write(buffer);
            buffer.clear();
        }
    };
    for (int p = 0; p < n; ++p) {
        const qint64 rowId = list.rowIdAt(p);
        put(&rowId, sizeof rowId);
    }
    const IntColumn &tree = list.searchTree();
    for (qint64 i = 0; i < 2 * n; ++i) {
        const std::int32_t value = i < qint64(tree.size()) ? tree[size_t(i)] : 0;
        put(&value, sizeof value);
    }
    std::uint32_t start = 0;
    put(&start, sizeof start);
    for (int p = 0; p < n; ++p) {
        start += std::uint32_t(list.viewAt(p).size());
        put(&start, sizeof start);
    }
    for (int p = 0; p < n; ++p) {
        const QStringView name = list.viewAt(p);
        put(name.utf16(), size_t(name.size()) * 2);
    }
    crc = crcOf(buffer.constData(), buffer.size(), crc);
    file.write(buffer);
    header.payloadCrc = crc;
    header.headerCrc = headerCrc(header);
    std::memcpy(page.data(), &header, sizeof header);
    std::memcpy(page.data() + kStateOffset, state.constData(), size_t(state.size()));
    if (!file.seek(0) || file.write(page) != kHeaderSize)
        return false;
    return file.commit();
}

std::optional<NameColumns> mapList(const QString &path, const QString &table, const QByteArray &state)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info
    {
    };
    auto mapping = std::make_shared<Mapping>();
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= kHeaderSize) {
        mapping->size = size_t(info.st_size);
        mapping->address = ::mmap(nullptr, mapping->size, PROT_READ, MAP_SHARED, fd, 0);
    }
    ::close(fd);
    if (mapping->address == MAP_FAILED)
        return std::nullopt;
    const auto *bytes = static_cast<const char *>(mapping->address);
    Header header;
    std::memcpy(&header, bytes, sizeof header);
    const QByteArray stored(bytes + kStateOffset, qsizetype(::strnlen(bytes + kStateOffset, kStateSize)));
    if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 || header.headerCrc != headerCrc(header) ||
        stored != state || header.count < 0 || header.count >= (qint64(1) << 31) / 2 || header.textUnits < 0 ||
        header.textUnits > qint64(0xFFFFFFFFu) ||
        qint64(mapping->size) != kHeaderSize + payloadSize(header.count, header.textUnits))
        return std::nullopt;
    header.collation[sizeof header.collation - 1] = 0;
    header.table[sizeof header.table - 1] = 0;
    if (QByteArray(header.collation) != collationVersion() || QString::fromUtf8(header.table) != table)
        return std::nullopt;
    if (crcOf(bytes + kHeaderSize, qint64(mapping->size) - kHeaderSize) != header.payloadCrc)
        return std::nullopt;

    const qint64 n = header.count;
    NameColumns columns;
    columns.count = n;
    columns.rowIds = reinterpret_cast<const qint64 *>(bytes + kHeaderSize);
    columns.tree = reinterpret_cast<const std::int32_t *>(columns.rowIds + n);
    columns.starts = reinterpret_cast<const std::uint32_t *>(columns.tree + 2 * n);
    columns.text = reinterpret_cast<const char16_t *>(columns.starts + n + 1);
    // A file is data: whatever it says, no name may reach outside it, no index outside the list.
    if (columns.starts[0] != 0 || columns.starts[n] != quint64(header.textUnits))
        return std::nullopt;
    for (qint64 i = 0; i < n; ++i) {
        if (columns.starts[i] > columns.starts[i + 1])
            return std::nullopt;
    }
    for (qint64 i = 1; i < 2 * n; ++i) {
        if (columns.tree[i] < 0 || columns.tree[i] >= n)
            return std::nullopt;
    }
    columns.keeper = mapping;
    return columns;
}

QByteArray stateOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(kStateOffset))
        return QByteArray();
    const QByteArray field = file.read(kStateSize);
    return field.left(qsizetype(::strnlen(field.constData(), size_t(field.size()))));
}

bool restamp(const QString &path, const QByteArray &state)
{
    if (state.size() >= kStateSize)
        return false;
    QByteArray field(kStateSize, '\0');
    std::memcpy(field.data(), state.constData(), size_t(state.size()));
    // In place: a file someone has mapped keeps its names; only the stamp is new.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) || file.size() < kHeaderSize ||
        !file.seek(kStateOffset))
        return false;
    return file.write(field) == kStateSize && file.flush();
}

} // namespace zv::lists
