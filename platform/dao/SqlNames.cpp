#include "platform/dao/SqlNames.h"

namespace dao::detail {

bool isNameChar(QChar c) {
    // SQLite's own rule: any character beyond ASCII may be part of a bare name.
    return c.unicode() >= 0x80 || c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

Quoted readQuoted(const QString& sql, qsizetype& i) {
    const QChar open = sql[i];
    const QChar close = open == QLatin1Char('[') ? QLatin1Char(']') : open;
    const bool doubled = close != QLatin1Char(']');
    Quoted quoted;
    for (++i; i < sql.size(); ++i) {
        if (sql[i] != close) {
            quoted.text += sql[i];
        } else if (doubled && i + 1 < sql.size() && sql[i + 1] == close) {
            quoted.text += close;
            ++i;
        } else {
            ++i;
            quoted.closed = true;
            break;
        }
    }
    return quoted;
}

} // namespace dao::detail
