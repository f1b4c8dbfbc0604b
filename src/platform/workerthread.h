// Worker threads fed through a message queue. The queue exists from the thread object's creation,
// so nothing posted early is lost; a post to a thread that has ended, or whose start failed, is
// refused and the sender's block is freed with the message.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {

struct ThreadMessage {
    unsigned id = 0;
    std::size_t count = 0;
    std::unique_ptr<std::uint8_t[]> block;  // owned by whoever holds the message
};

class MessageQueue {
  public:
    // False once the queue is closed (the thread has ended or never ran).
    bool post(ThreadMessage&& m);
    bool take(ThreadMessage& m);
    // Blocks until a message is waiting, wake() is called or `most` has passed.
    void wait(std::chrono::milliseconds most);
    void wake();
    void close();
    bool closed() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<ThreadMessage> messages_;
    bool woken_ = false;
    bool closed_ = false;
};

// Makes the thread that runs `body`; throws std::system_error when none can be made. Empty means
// a plain std::thread.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

// Base of the log and auto-save threads. Derived classes must call stop() in their destructor,
// before their own members go away.
class WorkerThread {
  public:
    WorkerThread() = default;
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts execute() on a new thread. When no thread can be made the queue is closed (what
    // was posted is freed, later posts are refused) and std::system_error is thrown.
    void start(const ThreadStarter& starter = {});
    // Sets the stop flag and waits for execute() to return; then shows the errors it reported
    // that are not shown yet. Called on the user-interface thread.
    void stop();
    // As stop(), waiting at most `most`: false when the thread is still running then (or could
    // not be joined). See finishworker().
    bool stop(std::chrono::milliseconds most);
    // For an owner that gave up waiting: takes this heap object over; the thread frees it when
    // execute() returns, and nothing it reports afterwards is shown.
    void abandon();
    bool post(unsigned id, std::size_t count, std::unique_ptr<std::uint8_t[]> block);
    bool running() const { return thread_.joinable(); }

  protected:
    virtual void execute() = 0;
    bool terminated() const { return terminated_.load(std::memory_order_acquire); }
    // The owner no longer waits: leave at the next line rather than write on.
    bool abandoned() const { return abandoned_.load(std::memory_order_acquire); }
    // Idles until work is posted or the thread is asked to stop: no polling while idle.
    void waitforwork() { queue_.wait(std::chrono::milliseconds(1000)); }
    MessageQueue& queue() { return queue_; }
    // An error box for the operator, shown on the user-interface thread. The worker does not
    // wait for it: its owner may be waiting for the worker to end. A box the user-interface
    // thread has not taken up by the time the thread is stopped is shown by stop().
    void reporterror(const std::string& text);

  private:
    // Texts reported and not yet shown; shared with the calls posted to show them, which may
    // run after this object has gone.
    struct Reports {
        std::mutex mutex;
        std::vector<std::string> texts;
        void show();
    };

    void run();
    bool waitended(const std::chrono::milliseconds* most);

    MessageQueue queue_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> abandoned_{false};
    std::mutex state_;  // guards ended_, abandoned_'s change and thread_ once started
    std::condition_variable endedcv_;
    bool ended_ = false;
    std::shared_ptr<Reports> reports_ = std::make_shared<Reports>();
    std::thread thread_;
};

// Stops the worker held by t within `most` and frees it. A worker still running by then is
// abandoned (it frees itself when it ends), so shutdown never waits on a stuck disk. False in
// that case or when it could not be joined; t is empty afterwards either way.
template <class Worker>
bool finishworker(std::unique_ptr<Worker>& t, std::chrono::milliseconds most) {
    if (!t) return true;
    if (t->stop(most)) {
        t.reset();
        return true;
    }
    t.release()->abandon();
    return false;
}

}  // namespace platform
