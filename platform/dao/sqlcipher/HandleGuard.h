#pragma once
// The SQLite handle of one open file and the one lock in front of it.
//
// The handle is handed out only to the thread that holds the lock (handle(),
// which first waits out a batch in flight) or, for the length of a batch, to
// the commit timer's thread through a Lease, during which the lock is free
// for work that does not need the handle (holding more updates, answering
// keyed opens from a lookup). Nothing else gives the handle out.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/sqlcipher/Sqlite.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace dao::detail {

class HandleGuard {
public:
    explicit HandleGuard(Handle handle) : handle_(std::move(handle)) {}
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;

    // Holds the lock on this thread while alive.
    class Lock {
    public:
        explicit Lock(HandleGuard& guard);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        void unlock();

    private:
        friend class HandleGuard;
        void acquired();
        void releasing();
        HandleGuard& guard_;
        std::unique_lock<std::mutex> lock_;
    };

    // For the holder of the lock: the handle once no batch has it; null
    // once closed. Ends the program when called without the lock: that is
    // a fault in this engine, never something a file can cause.
    sqlite3* handle();
    // For the holder of the lock: whether the handle is still open, and
    // whether a batch has it now (then its transaction is open).
    bool open() const { return handle_ != nullptr; }
    bool leased() const { return leased_; }
    // For the holder of the lock: closes the handle (after any batch).
    void close() noexcept;

    // The handle for a batch: the lock is let go until the lease ends.
    class Lease {
    public:
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

    private:
        friend class HandleGuard;
        Lease(HandleGuard& guard, Lock& lock) : guard_(guard), lock_(lock) {}
        HandleGuard& guard_;
        Lock& lock_;
    };
    // For the holder of `lock`, with no lease out.
    Lease lease(Lock& lock);

    // For the holder of `lock`: waits, with the lock let go meanwhile, until
    // `ready` or a stop request (or, with a deadline, until then).
    // `ready` runs with the lock held.
    template <class Ready>
    void wait(Lock& lock, std::stop_token stop, Ready ready) {
        lock.releasing();
        changed_.wait(lock.lock_, stop, held(lock, ready));
        lock.acquired();
    }
    template <class Ready, class TimePoint>
    void waitUntil(Lock& lock, std::stop_token stop, TimePoint deadline, Ready ready) {
        lock.releasing();
        changed_.wait_until(lock.lock_, stop, deadline, held(lock, ready));
        lock.acquired();
    }
    // Wakes the waiters: something they may be waiting for has changed.
    void notify() { changed_.notify_all(); }

private:
    template <class Ready>
    static auto held(Lock& lock, Ready& ready) {
        return [&lock, &ready] {
            lock.acquired();
            const bool result = ready();
            lock.releasing();
            return result;
        };
    }
    bool heldHere() const { return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

    Handle handle_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::atomic<std::thread::id> owner_{};
    Lock* current_ = nullptr; // the holder's Lock, for waits inside handle()
    bool leased_ = false;
};

} // namespace dao::detail
