#pragma once
// How a user stops long work: whoever owns the engine sets a check that the
// engine asks now and then, on the thread that called into it, while it
// reads. Returning true stops the read with error 18; writes and commits are
// never cut short, so every update already accepted stays.
#include <functional>
#include <memory>

namespace dao {

using InterruptCheck = std::function<bool()>;
// Shared by the engine and every file it opens; empty until set.
using InterruptCheckPtr = std::shared_ptr<InterruptCheck>;

} // namespace dao
