// A fixed-size queue that hands items from one thread to another. pop() waits for an item;
// after close() the taker still gets what is queued and then nothing, while cancel() makes
// every pop() return nothing at once, items queued or not. push() never waits: the ring is
// made big enough for every item in circulation, and a push into a full ring is refused.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

template <typename Item> class HandoffQueue {
  public:
    explicit HandoffQueue(size_t capacity) : ring_(capacity) {}

    // False when the queue is full, closed or cancelled.
    bool push(Item item) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_ || cancelled_ || count_ == ring_.size())
                return false;
            ring_[(head_ + count_) % ring_.size()] = item;
            ++count_;
        }
        ready_.notify_one();
        return true;
    }

    // Waits for the next item; false once the queue is closed and empty, or cancelled.
    bool pop(Item& item) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return count_ > 0 || closed_ || cancelled_; });
        if (cancelled_ || count_ == 0)
            return false;
        item = ring_[head_];
        head_ = (head_ + 1) % ring_.size();
        --count_;
        return true;
    }

    void close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }

    void cancel() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cancelled_ = true;
        }
        ready_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<Item> ring_;
    size_t head_ = 0;
    size_t count_ = 0;
    bool closed_ = false;
    bool cancelled_ = false;
};
