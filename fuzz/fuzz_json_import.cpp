// The JSON reader of imports: whatever it accepts is written back as this program writes JSON
// and read again to the same entries; what it refuses it refuses with a reason.
#include "FuzzTarget.h"
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
