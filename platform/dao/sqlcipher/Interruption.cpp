#include "platform/dao/sqlcipher/Interruption.h"

namespace dao::detail {

namespace {

// About every few microseconds of work: often enough to stop within a
// fraction of a second, rarely enough to cost nothing that shows.
constexpr int kStepsBetweenChecks = 1000;

} // namespace

void Interruption::install(sqlite3* db) {
    if (check_)
        sqlite3_progress_handler(db, kStepsBetweenChecks, &Interruption::onProgress, this);
}

int Interruption::onProgress(void* self) {
    auto& i = *static_cast<Interruption*>(self);
    const std::thread::id here = std::this_thread::get_id();
    if (i.thread_.load() != here || !*i.check_)
        return 0;
    // The check may process window events; nothing in them may stop us twice.
    i.thread_.store(std::thread::id());
    const bool stop = (*i.check_)();
    i.thread_.store(here);
    return stop ? 1 : 0;
}

Interruption::Hold::Hold(Interruption& i) : i_(i), held_(i.thread_.load() == std::this_thread::get_id()) {
    if (held_)
        i_.thread_.store(std::thread::id());
}

Interruption::Hold::~Hold() {
    if (held_)
        i_.thread_.store(std::this_thread::get_id());
}

} // namespace dao::detail
