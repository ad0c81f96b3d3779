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
    // While it is held, the build waits between two batches: the user's work goes first.
    std::shared_ptr<const BackgroundGate> gate;
};

} // namespace zv::search
