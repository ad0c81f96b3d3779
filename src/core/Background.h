#pragma once

#include <functional>

namespace zv {

// Runs `work` on a thread of its own and returns once it is done; meanwhile the calling
// thread goes on handling its events, so windows repaint and timers run. An exception thrown
// by `work` is thrown again here. `work` must not touch windows.
void runInBackground(const std::function<void()> &work);

} // namespace zv
