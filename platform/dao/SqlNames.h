#pragma once
// How SQL text spells a name, as SQLite reads it: which characters make a
// bare name, and where a quoted one ends. Shared by the readers of query
// text (SelectParser, and ViewNesting's names in view definitions), so that
// both see the same names in the same text.
#include <QString>

namespace dao::detail {

// Whether `c` may stand in a bare name: letters, digits, '_', '$' and any
// character beyond ASCII.
bool isNameChar(QChar c);

struct Quoted {
    QString text;        // between the quotes, a doubled quote read as one
    bool closed = false; // false: the text ended first (`text` is the rest)
};

// The quoted name or string that opens at sql[i]: "name", `name`, 'text'
// (each with its quote doubled inside) or [name] (no doubling). Moves i past
// the closing quote, or to the end of the text.
Quoted readQuoted(const QString& sql, qsizetype& i);

} // namespace dao::detail
