#pragma once
// Applies a target's updates on a thread of its own, in the order they were
// posted, while the caller goes on to the next row. Updates cross over in
// batches, so a row costs the caller a push onto a list, not a wake-up.
//
// What the updates touch belongs to the thread while any is posted and not
// yet applied; the caller touches it again only after settle() returns.
//
// An update that fails ends the work: it and every update after it are left
// out, so what was applied is exactly the updates before it, as if each had
// been applied when posted. Its error is raised by the next post() or
// settle(); after that post() raises it again (nothing more is taken) and
// settle() returns, so the owner can still keep what was applied.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace dao::jet::detail {

template <class Update>
class WriteBehind {
public:
    // `apply` runs on the thread, one update at a time; it raises to fail.
    explicit WriteBehind(std::function<void(Update&)> apply, std::size_t batch = 256)
        : apply_(std::move(apply)), batch_(batch), thread_([this] { run(); }) {}

    // Applies nothing more; the owner settles first to keep what was posted.
    ~WriteBehind() {
        {
            const std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    void post(Update update) {
        if (failed_) {
            // Raised again for every later update: none is taken after a failure.
            const std::lock_guard lock(mutex_);
            taken_ = true;
            std::rethrow_exception(error_);
        }
        gathering_.push_back(std::move(update));
        if (gathering_.size() >= batch_)
            handOver(false);
    }

    // Returns once every update posted has been applied or left out; raises
    // a failure not raised before.
    void settle() {
        handOver(true);
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [&] { return handed_.empty() && !busy_; });
        if (error_ && !taken_) {
            taken_ = true;
            std::rethrow_exception(error_);
        }
    }

private:
    // Gives the gathered updates to the thread, once it has taken the ones
    // before; `evenFew`: however many there are.
    void handOver(bool evenFew) {
        if (gathering_.empty() || (!evenFew && gathering_.size() < batch_))
            return;
        {
            std::unique_lock lock(mutex_);
            idle_.wait(lock, [&] { return handed_.empty(); });
            if (error_) {
                gathering_.clear(); // after the failure: left out
                return;
            }
            std::swap(handed_, gathering_);
        }
        wake_.notify_one();
    }

    void run() {
        std::vector<Update> work;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return quit_ || !handed_.empty(); });
            if (quit_)
                return;
            std::swap(work, handed_);
            busy_ = true;
            lock.unlock();
            idle_.notify_all(); // the caller may hand over the next batch
            std::exception_ptr error;
            for (Update& update : work) {
                try {
                    apply_(update);
                } catch (...) {
                    error = std::current_exception();
                    break;
                }
            }
            work.clear();
            lock.lock();
            if (error) {
                error_ = error;
                failed_ = true;
                handed_.clear();
            }
            busy_ = false;
            idle_.notify_all();
        }
    }

    const std::function<void(Update&)> apply_;
    const std::size_t batch_;
    std::vector<Update> gathering_; // the caller's alone

    std::mutex mutex_;
    std::condition_variable wake_; // for the thread
    std::condition_variable idle_; // for the caller
    std::vector<Update> handed_;   // given over, not yet taken
    bool busy_ = false;
    bool quit_ = false;
    std::exception_ptr error_;
    bool taken_ = false;              // error_ has been raised to the caller
    std::atomic<bool> failed_{false}; // error_ is set: read without the lock on every post
    std::thread thread_;              // last: started once everything above is ready
};

} // namespace dao::jet::detail
