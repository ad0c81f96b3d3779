// The JSON reader of imports: whatever it accepts is written back as this program writes JSON
// and read again to the same entries; what it refuses it refuses with a reason.
#include "ImportFuzz.h"
#include "core/interchange/Json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const zv::interchange::ReadResult read = zv::interchange::entriesFromJson(bytes);
    if (!read.ok()) {
        ZV_FUZZ_CHECK(read.entries.empty());
        return 0;
    }
    QByteArray again = zv::interchange::jsonOpening();
    for (size_t i = 0; i < read.entries.size(); ++i)
        zv::interchange::appendJsonEntry(again, read.entries[i], i == 0);
    again += zv::interchange::jsonClosing();
    const zv::interchange::ReadResult reread = zv::interchange::entriesFromJson(again);
    checkSameEntries(read, reread);
    return 0;
}
