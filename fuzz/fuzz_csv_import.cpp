// The CSV reader of imports: whatever it accepts is written back as this program writes CSV
// and read again to the same entries; what it refuses it refuses with a reason.
#include "FuzzTarget.h"
#include "core/interchange/Csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const zv::interchange::ReadResult read = zv::interchange::entriesFromCsv(bytes);
    if (!read.ok()) {
        ZV_FUZZ_CHECK(read.entries.empty());
        return 0;
    }
    QByteArray again = zv::interchange::csvHeader();
    for (const zv::interchange::Entry &entry : read.entries)
        zv::interchange::appendCsvEntry(again, entry);
    const zv::interchange::ReadResult reread = zv::interchange::entriesFromCsv(again);
    ZV_FUZZ_CHECK(reread.ok());
    ZV_FUZZ_CHECK(reread.entries.size() == read.entries.size());
    for (size_t i = 0; i < read.entries.size(); ++i) {
        ZV_FUZZ_CHECK(reread.entries[i].table == read.entries[i].table);
        ZV_FUZZ_CHECK(reread.entries[i].name == read.entries[i].name);
        ZV_FUZZ_CHECK(reread.entries[i].text == read.entries[i].text);
        ZV_FUZZ_CHECK(reread.entries[i].pictures == read.entries[i].pictures);
    }
    return 0;
}
