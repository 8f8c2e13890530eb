#pragma once
// A pass-through SQLite file layer for the helper process. It counts what the
// engine does to each file (open, read, write, sync, lock, delete, close) and
// can stop the process cold at a chosen moment, so a test can kill it exactly
// there. The program itself runs unchanged on top of it.
#include <string>
#include <vector>

namespace reliability {

// One step of a pause plan: the n-th occurrence of an event ("target-db.write",
// "source-db.close", "target-journal.delete", "target-db.lock2", ...),
// counted from the step before. A step with a delay only holds the thread
// that reached it for that long and the plan goes on; the last step without
// one stops the process.
struct PauseStep {
    std::string event;
    int occurrence = 1;
    int delayMs = 0;
};

struct ShimOptions {
    std::vector<PauseStep> pausePlan; // empty: never pause
    bool torn = false;                // when pausing on a write, write half of it first
};

// Parses "event[:n][@ms],event[:n][@ms],..."; an empty text gives an empty plan.
std::vector<PauseStep> parsePausePlan(const std::string& text);

// Installs the layer as the default file system of this process; call before
// any database is opened. Announces a pause on standard output as
// "paused <event> <n>" and then waits to be killed.
void installShim(const ShimOptions& options);

// "count <event> <n>" lines for every event seen so far.
std::vector<std::string> shimCounts();

} // namespace reliability
