#pragma once
// Readable texts in failure messages, shared by every test folder.
#include <QString>
#include <QStringList>
#include <ostream>

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
