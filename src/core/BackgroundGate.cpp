#include "core/BackgroundGate.h"

#include <chrono>

namespace zv {

std::shared_ptr<void> BackgroundGate::hold()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_holds;
    }
    return std::shared_ptr<void>(nullptr, [self = shared_from_this()](void *) { self->release(); });
}

void BackgroundGate::release()
{
    {
        std::lock_guard lock(m_mutex);
        --m_holds;
    }
    m_freed.notify_all();
}

bool BackgroundGate::held() const
{
    std::lock_guard lock(m_mutex);
    return m_holds > 0;
}

bool BackgroundGate::waitUntilFree(int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_freed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_holds == 0; });
}

} // namespace zv
