#pragma once
// Shared by every test folder: readable texts in failure messages, and the
// number of the run-time error a call raises.
#include "runtime/RuntimeError.h"

#include <QString>
#include <QStringList>
#include <ostream>
#include <utility>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{';
    for (const QString& s : l) {
        PrintTo(s, os);
        *os << ' ';
    }
    *os << '}';
}

// The number of the vb::RuntimeError a call raises, or 0 when it returns normally.
template <class F>
int raisedNumber(F&& call) {
    try {
        std::forward<F>(call)();
    } catch (const vb::RuntimeError& e) {
        return e.number();
    }
    return 0;
}
