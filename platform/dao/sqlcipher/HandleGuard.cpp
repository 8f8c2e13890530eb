#include "platform/dao/sqlcipher/HandleGuard.h"

#include <exception>

namespace dao::detail {

HandleGuard::Lock::Lock(HandleGuard& guard) : guard_(guard), lock_(guard.mutex_) {
    acquired();
}

HandleGuard::Lock::~Lock() {
    if (lock_.owns_lock())
        releasing();
}

void HandleGuard::Lock::unlock() {
    releasing();
    lock_.unlock();
}

void HandleGuard::Lock::acquired() {
    guard_.current_ = this;
    guard_.owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void HandleGuard::Lock::releasing() {
    guard_.owner_.store(std::thread::id(), std::memory_order_relaxed);
    guard_.current_ = nullptr;
}

sqlite3* HandleGuard::handle() {
    if (!heldHere() || !current_)
        std::terminate();
    if (leased_) {
        Lock& lock = *current_;
        lock.releasing();
        changed_.wait(lock.lock_, [this] { return !leased_; });
        lock.acquired();
    }
    return handle_.get();
}

void HandleGuard::close() noexcept {
    handle();
    handle_.reset();
}

HandleGuard::Lease HandleGuard::lease(Lock& lock) {
    if (!heldHere() || leased_)
        std::terminate();
    leased_ = true;
    lock.unlock();
    return Lease(*this, lock);
}

HandleGuard::Lease::~Lease() {
    lock_.lock_.lock();
    lock_.acquired();
    guard_.leased_ = false;
    guard_.notify();
}

} // namespace dao::detail
