#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

namespace zv {

// Lets work the user asked for (an update being written, a session write) go first: while any
// hold lives, work the program does for itself in the background (the full-text build) waits
// at its next stopping point. Holds and waits may come from any thread. Made with make_shared:
// a hold keeps its gate alive.
class BackgroundGate : public std::enable_shared_from_this<BackgroundGate>
{
public:
    // The gate stays held until the returned object is released, wherever that happens.
    std::shared_ptr<void> hold();
    bool held() const;
    // Waits until no hold is left or `timeoutMs` passed; true when free.
    bool waitUntilFree(int timeoutMs) const;

private:
    void release();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_freed;
    int m_holds = 0;
};

} // namespace zv
