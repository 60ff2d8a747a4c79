#include "gui_thread.h"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "afxwin.h"

namespace tsyqt {
namespace {

struct QueuedCall {
    enum class State { kQueued, kRunning, kDone, kDropped };
    GuiCall call;
    State state = State::kQueued;
    win::LRESULT result = 0;
};

struct CallQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::shared_ptr<QueuedCall>> calls;
};

CallQueue& Queue() {
    static CallQueue* queue = new CallQueue;  // worker threads may outlive static destruction
    return *queue;
}

std::shared_ptr<QueuedCall> TakeNextCall() {
    CallQueue& queue = Queue();
    std::lock_guard lock(queue.mutex);
    while (!queue.calls.empty()) {
        std::shared_ptr<QueuedCall> next = std::move(queue.calls.front());
        queue.calls.pop_front();
        if (next->state != QueuedCall::State::kQueued) continue;
        next->state = QueuedCall::State::kRunning;
        return next;
    }
    return nullptr;
}

}  // namespace

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

win::LRESULT RunOnGuiThread(GuiCall call) {
    if (OnGuiThread()) return call();
    if (AfxStopRequested()) return 0;

    auto queued = std::make_shared<QueuedCall>();
    queued->call = std::move(call);
    CallQueue& queue = Queue();
    {
        std::lock_guard lock(queue.mutex);
        queue.calls.push_back(queued);
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { RunQueuedCalls(); }, Qt::QueuedConnection);

    std::unique_lock lock(queue.mutex);
    queue.changed.wait(
        lock, [&] { return queued->state == QueuedCall::State::kDone || AfxStopRequested(); });
    if (queued->state == QueuedCall::State::kDone) return queued->result;
    if (queued->state == QueuedCall::State::kQueued) queued->state = QueuedCall::State::kDropped;
    return 0;
}

void RunQueuedCalls() {
    CallQueue& queue = Queue();
    while (std::shared_ptr<QueuedCall> next = TakeNextCall()) {
        const win::LRESULT result = next->call();
        {
            std::lock_guard lock(queue.mutex);
            next->result = result;
            next->state = QueuedCall::State::kDone;
        }
        queue.changed.notify_all();
    }
}

void ReleaseWaitingCallers() {
    CallQueue& queue = Queue();
    {
        std::lock_guard lock(queue.mutex);
        for (const auto& call : queue.calls) {
            if (call->state == QueuedCall::State::kQueued)
                call->state = QueuedCall::State::kDropped;
        }
        queue.calls.clear();
    }
    queue.changed.notify_all();
}

}  // namespace tsyqt
