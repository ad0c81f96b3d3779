#pragma once

namespace zv {

// Large blocks (the lists of a big category, their index and what sorting them takes) go back
// to the system as soon as they are freed. Otherwise the C library keeps raising the size from
// which it does so, and tens of megabytes freed after a list load stay with the process.
// Called once at start, before anything large is made.
void returnLargeBlocksWhenFreed();

} // namespace zv
