#include "platform/workerthread.h"

#include <system_error>

#include "platform/backend.h"
#include "platform/desktop.h"

namespace platform {

bool MessageQueue::post(ThreadMessage&& m) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    messages_.push_back(std::move(m));
    ready_.notify_one();
    return true;
}

void MessageQueue::wait(std::chrono::milliseconds most) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait_for(lock, most, [this] { return !messages_.empty() || woken_ || closed_; });
    woken_ = false;
}

void MessageQueue::wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
    ready_.notify_one();
}

bool MessageQueue::take(ThreadMessage& m) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (messages_.empty()) return false;
    m = std::move(messages_.front());
    messages_.pop_front();
    return true;
}

void MessageQueue::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    messages_.clear();
}

bool MessageQueue::closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

WorkerThread::~WorkerThread() {
    stop();
}

void WorkerThread::start(const ThreadStarter& starter) {
    std::function<void()> body = [this] { run(); };
    try {
        thread_ = starter ? starter(std::move(body)) : std::thread(std::move(body));
    } catch (const std::system_error&) {
        // Nothing will ever read the queue: free what it holds and refuse what comes.
        queue_.close();
        throw;
    }
}

void WorkerThread::run() {
    execute();
    // Whatever is posted from now on has no reader: refuse it so the sender frees its block.
    queue_.close();
    bool freeself = false;
    {
        std::lock_guard<std::mutex> lock(state_);
        ended_ = true;
        freeself = abandoned_.load(std::memory_order_relaxed);
        endedcv_.notify_all();
    }
    if (freeself) delete this;  // the owner handed this object over in abandon()
}

bool WorkerThread::waitended(const std::chrono::milliseconds* most) {
    std::unique_lock<std::mutex> lock(state_);
    const auto ended = [this] { return ended_; };
    if (!most) {
        endedcv_.wait(lock, ended);
        return true;
    }
    return endedcv_.wait_for(lock, *most, ended);
}

void WorkerThread::stop() {
    terminated_.store(true, std::memory_order_release);
    queue_.wake();
    if (thread_.joinable()) {
        waitended(nullptr);
        thread_.join();
        reports_->show();
    }
    queue_.close();
}

bool WorkerThread::stop(std::chrono::milliseconds most) {
    terminated_.store(true, std::memory_order_release);
    queue_.wake();
    if (thread_.joinable()) {
        if (!waitended(&most)) return false;
        try {
            thread_.join();
        } catch (const std::system_error&) {
            return false;
        }
        reports_->show();
    }
    queue_.close();
    return true;
}

void WorkerThread::abandon() {
    {
        std::lock_guard<std::mutex> lock(state_);
        if (!ended_) {
            // Detached before the thread can see the flag, so it may free this at once.
            if (thread_.joinable()) thread_.detach();
            abandoned_.store(true, std::memory_order_release);
            return;
        }
    }
    if (thread_.joinable()) thread_.detach();  // it has left run(): nothing of it remains
    delete this;
}

void WorkerThread::reporterror(const std::string& text) {
    std::lock_guard<std::mutex> lock(state_);
    if (abandoned_.load(std::memory_order_relaxed)) return;  // nobody is left to show it
    {
        std::lock_guard<std::mutex> texts(reports_->mutex);
        reports_->texts.push_back(text);
    }
    backend().post([reports = reports_] { reports->show(); });
}

void WorkerThread::Reports::show() {
    std::vector<std::string> now;
    {
        std::lock_guard<std::mutex> lock(mutex);
        now.swap(texts);
    }
    for (const auto& t : now) desktop().errorbox(t);
}

bool WorkerThread::post(unsigned id, std::size_t count, std::unique_ptr<std::uint8_t[]> block) {
    return queue_.post(ThreadMessage{id, count, std::move(block)});
}

}  // namespace platform
