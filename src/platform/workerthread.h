// Worker threads fed through a message queue. The queue exists from the thread object's creation,
// so nothing posted early is lost; a post to a thread that has ended fails and the sender's block
// is freed with the message.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

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

// Base of the log and auto-save threads. Derived classes must call stop() in their destructor,
// before their own members go away.
class WorkerThread {
  public:
    WorkerThread() = default;
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts execute() on a new thread; throws std::system_error when no thread can be made.
    void start();
    // Sets the stop flag and waits for execute() to return.
    void stop();
    bool post(unsigned id, std::size_t count, std::unique_ptr<std::uint8_t[]> block);
    bool running() const { return thread_.joinable(); }

  protected:
    virtual void execute() = 0;
    bool terminated() const { return terminated_.load(std::memory_order_acquire); }
    // Idles until work is posted or the thread is asked to stop: no polling while idle.
    void waitforwork() { queue_.wait(std::chrono::milliseconds(1000)); }
    MessageQueue& queue() { return queue_; }

  private:
    void run();
    MessageQueue queue_;
    std::atomic<bool> terminated_{false};
    std::thread thread_;
};

}  // namespace platform
