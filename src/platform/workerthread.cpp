#include "platform/workerthread.h"

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

void WorkerThread::start() {
    thread_ = std::thread([this] { run(); });
}

void WorkerThread::run() {
    execute();
    // Whatever is posted from now on has no reader: refuse it so the sender frees its block.
    queue_.close();
}

void WorkerThread::stop() {
    terminated_.store(true, std::memory_order_release);
    queue_.wake();
    if (thread_.joinable()) thread_.join();
    queue_.close();
}

bool WorkerThread::post(unsigned id, std::size_t count, std::unique_ptr<std::uint8_t[]> block) {
    return queue_.post(ThreadMessage{id, count, std::move(block)});
}

}  // namespace platform
