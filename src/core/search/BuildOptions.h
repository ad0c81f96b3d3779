#pragma once

#include <memory>

namespace zv {
class BackgroundGate;
}

namespace zv::search {

// How the index is built and kept.
struct BuildOptions
{
    // The documents of a build are made on a second thread while the index is written.
    bool twoThreads = true;
    // A first build writes the records in parts (see IndexParts.h), merged into the index every
    // `mergeEvery` records and at its end: searches during the build find what was merged, and a
    // build stopped loses at most the work since.
    bool inParts = true;
    long long mergeEvery = 200000;
    // While it is held, the build waits between two batches: the user's work goes first.
    std::shared_ptr<const BackgroundGate> gate;
};

} // namespace zv::search
