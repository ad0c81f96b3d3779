// The entry file reader: whatever it accepts is within its limits, carries only pictures that are
// the entry's, and is written back by the writer into a file that reads as the same entry.
#include "FuzzTarget.h"
#include "core/entryfile/EntryFile.h"
#include "core/update/UpdateLayout.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString why;
    const std::optional<zv::entryfile::Entry> entry = zv::entryfile::readEntryFile(bytes, &why);
    ZV_FUZZ_CHECK(entry.has_value() == why.isEmpty());
    if (!entry)
        return 0;
    ZV_FUZZ_CHECK(!entry->name.isEmpty());
    ZV_FUZZ_CHECK(entry->pictures.size() <= size_t(zv::entryfile::kMaxPictures));
    qint64 total = 0;
    for (const zv::entryfile::Picture &picture : entry->pictures) {
        ZV_FUZZ_CHECK(zv::update::isPlainFileName(picture.fileName));
        ZV_FUZZ_CHECK(zv::entryfile::pictureProblem(entry->name, picture.fileName, picture.bytes).isEmpty());
        total += picture.bytes.size();
    }
    ZV_FUZZ_CHECK(total <= zv::entryfile::kMaxUnpackedBytes);

    const QByteArray written = zv::entryfile::entryFileBytes(*entry);
    ZV_FUZZ_CHECK(!written.isEmpty());
    const std::optional<zv::entryfile::Entry> again = zv::entryfile::readEntryFile(written, &why);
    ZV_FUZZ_CHECK(again.has_value());
    ZV_FUZZ_CHECK(again->table == entry->table && again->name == entry->name && again->text == entry->text);
    ZV_FUZZ_CHECK(again->pictures.size() == entry->pictures.size());
    for (size_t i = 0; i < entry->pictures.size(); ++i)
        ZV_FUZZ_CHECK(again->pictures[i].fileName == entry->pictures[i].fileName &&
                      again->pictures[i].bytes == entry->pictures[i].bytes);
    return 0;
}
