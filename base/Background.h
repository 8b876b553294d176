#pragma once

// The one way slow work leaves the thread that owns the state: run it on the
// thread pool and hand its whole result back to a QObject on that object's
// thread, or drop it when the object is gone by then.

#include <QObject>
#include <QThreadPool>

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace Background {

// Carries the finished result across threads through a queued connection:
// Qt removes the connection, and any delivery still queued, when the
// receiver is destroyed, which a raw pointer from the worker could not tell.
class Courier : public QObject {
    Q_OBJECT
signals:
    void ready();
};

// Runs `work()` on the global thread pool, then `done(result)` on the thread of
// `receiver`, unless the receiver was destroyed first. Call it on the
// receiver's thread, which must run an event loop.
template <typename Work, typename Done>
void run(QObject* receiver, Work work, Done done)
{
    using Result = std::invoke_result_t<Work&>;
    auto result = std::make_shared<std::optional<Result>>();
    auto* courier = new Courier;
    QObject::connect(
        courier, &Courier::ready, receiver,
        [result, done = std::move(done)]() mutable { done(std::move(**result)); }, Qt::QueuedConnection);
    QThreadPool::globalInstance()->start([courier, result, work = std::move(work)]() mutable {
        result->emplace(work());
        emit courier->ready();
        courier->deleteLater();
    });
}

}  // namespace Background
