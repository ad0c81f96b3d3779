#pragma once

#include "FuzzTarget.h"
#include "core/interchange/Interchange.h"

// What a reader accepted, written back by this program and read again, must be what it was.
inline void checkSameEntries(const zv::interchange::ReadResult &read, const zv::interchange::ReadResult &reread)
{
    ZV_FUZZ_CHECK(reread.ok());
    ZV_FUZZ_CHECK(reread.entries.size() == read.entries.size());
    for (size_t i = 0; i < read.entries.size(); ++i) {
        ZV_FUZZ_CHECK(reread.entries[i].table == read.entries[i].table);
        ZV_FUZZ_CHECK(reread.entries[i].name == read.entries[i].name);
        ZV_FUZZ_CHECK(reread.entries[i].text == read.entries[i].text);
        ZV_FUZZ_CHECK(reread.entries[i].pictures == read.entries[i].pictures);
    }
}
