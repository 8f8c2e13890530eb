#pragma once
// Replaces a process-wide setting for as long as the guard lives; tests use
// it to answer dialogs and to place the program folder.
#include <utility>

namespace platform {

template <class T>
class ScopedOverride {
public:
    ScopedOverride(T& slot, T value) : slot_(slot), previous_(std::exchange(slot, std::move(value))) {}
    ~ScopedOverride() { slot_ = std::move(previous_); }
    ScopedOverride(const ScopedOverride&) = delete;
    ScopedOverride& operator=(const ScopedOverride&) = delete;

private:
    T& slot_;
    T previous_;
};

} // namespace platform
