#pragma once
// Expecting the run-time error a call raises.
#include "runtime/RuntimeError.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

#include <QString>
#include <optional>
#include <utility>

namespace testsupport {

// The run-time error the call raises, or nothing when it returns normally.
template <class F>
std::optional<vb::RuntimeError> caught(F&& call) {
    try {
        std::forward<F>(call)();
    } catch (const vb::RuntimeError& e) {
        return e;
    }
    return std::nullopt;
}

// The run-time error the call raises; a test failure when there is none (the
// error returned then has number 0, so an expected number fails too).
template <class F>
vb::RuntimeError raised(F&& call) {
    if (std::optional<vb::RuntimeError> e = caught(std::forward<F>(call)))
        return *e;
    ADD_FAILURE() << "no run-time error raised";
    return vb::RuntimeError(0, QString());
}

// The text the call returns, or "<error N>" for the error it raises: lets one
// table hold both results and errors.
template <class F>
QString outcome(F&& call) {
    QString text;
    if (std::optional<vb::RuntimeError> e = caught([&] { text = call(); }))
        return QStringLiteral("<error %1>").arg(e->number());
    return text;
}

} // namespace testsupport
