#pragma once
#include "tests/support/Printers.h"

namespace testsupport {

// The text a call returns, or "<error N>" when it raises; lets one table hold
// both results and errors.
template <class Call>
QString outcome(Call call) {
    try {
        return call();
    } catch (const vb::RuntimeError& e) {
        return QStringLiteral("<error %1>").arg(e.number());
    }
}

} // namespace testsupport
