#include "core/Background.h"

#include <QEventLoop>

#include <exception>
#include <thread>

namespace zv {

void runInBackground(const std::function<void()> &work)
{
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued: a quit posted before exec() starts still ends it.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace zv
