#pragma once

#include <QByteArray>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace zv {

// The main list's order: alphabetical ignoring letter case, the root Unicode collation
// (Latin before Cyrillic, ё beside е).
bool collatesBefore(QStringView a, QStringView b);

// Appends the collation key of `text` (bytes ending in a zero) to `out`; comparing two
// keys bytewise gives the same order as collatesBefore.
void appendCollationKey(QStringView text, std::vector<std::uint8_t> &out);

// What the order and the letter-case folding depend on: the collation rule and strength, the
// collator's version and the Unicode version. A list sorted under another one is sorted anew.
QByteArray collationVersion();

} // namespace zv
