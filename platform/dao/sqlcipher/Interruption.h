#pragma once
// Lets the user's interrupt check stop a read in the middle of a statement:
// SQLite asks it through the progress handler every so many steps, but only
// on the thread inside a call of the object model (Allow), and never while a
// write is being made (Hold): an interrupted write would roll back the whole
// transaction, and the commit timer's thread must never run the check.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/Interrupt.h"

#include <sqlcipher/sqlite3.h>

#include <atomic>
#include <thread>

namespace dao::detail {

class Interruption {
public:
    explicit Interruption(InterruptCheckPtr check) : check_(std::move(check)) {}
    // For the holder of the handle.
    void install(sqlite3* db);

    class Allow {
    public:
        explicit Allow(Interruption& i) : i_(i) { i_.thread_.store(std::this_thread::get_id()); }
        ~Allow() { i_.thread_.store(std::thread::id()); }
        Allow(const Allow&) = delete;
        Allow& operator=(const Allow&) = delete;

    private:
        Interruption& i_;
    };

    class Hold {
    public:
        explicit Hold(Interruption& i);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        Interruption& i_;
        bool held_;
    };

private:
    static int onProgress(void* self);

    InterruptCheckPtr check_;
    std::atomic<std::thread::id> thread_{}; // the thread the check may run on, while allowed
};

} // namespace dao::detail
