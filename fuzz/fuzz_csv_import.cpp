// The CSV reader of imports: whatever it accepts is written back as this program writes CSV
// and read again to the same entries; what it refuses it refuses with a reason.
#include "ImportFuzz.h"
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
    checkSameEntries(read, reread);
    return 0;
}
