#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace zv {

// The main list's order: alphabetical ignoring letter case, the root Unicode collation
// (Latin before Cyrillic, ё beside е).
bool collatesBefore(const QString &a, const QString &b);

// Appends the collation key of `text` (bytes ending in a zero) to `out`; comparing two
// keys bytewise gives the same order as collatesBefore.
void appendCollationKey(const QString &text, std::vector<std::uint8_t> &out);

} // namespace zv
