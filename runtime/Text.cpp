#include "runtime/Text.h"

#include "runtime/RuntimeError.h"

namespace vb {

namespace {

void requireNonNegative(qsizetype n) {
    if (n < 0)
        raise(kInvalidProcedureCall);
}

void requirePosition(qsizetype p) {
    if (p < 1)
        raise(kInvalidProcedureCall);
}

// Text comparison compares candidate pieces of the same length as the sought
// text, ignoring case through QStringView::compare (the same folding as QString::compare). That keeps positions and
// lengths in code units, so results line up with Mid and Left; matches that
// would need a different length (e.g. "ß" against "ss") are not found.
bool equalIgnoringCase(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString Left(const QString& s, qsizetype n) {
    requireNonNegative(n);
    return s.left(n);
}

QString Mid(const QString& s, qsizetype p) {
    requirePosition(p);
    return p > s.size() ? QString() : s.mid(p - 1);
}

QString Mid(const QString& s, qsizetype p, qsizetype n) {
    requirePosition(p);
    requireNonNegative(n);
    return p > s.size() ? QString() : s.mid(p - 1, n);
}

// A code unit, like every other position here: half of a surrogate pair when
// the text ends in a non-BMP character.
QString LastChar(const QString& s) {
    return s.isEmpty() ? QString() : s.right(1);
}

qsizetype InStr(qsizetype start, const QString& s, const QString& what, Compare mode) {
    requirePosition(start);
    if (s.isEmpty() || start > s.size())
        return 0; // nothing is found in an empty text, nor past its end
    if (what.isEmpty())
        return start;
    if (mode == Compare::Binary)
        return s.indexOf(what, start - 1, Qt::CaseSensitive) + 1; // -1 (absent) becomes 0
    const QStringView text(s);
    for (qsizetype i = start - 1; i + what.size() <= s.size(); ++i) {
        if (equalIgnoringCase(text.mid(i, what.size()), what))
            return i + 1;
    }
    return 0;
}

qsizetype InStrRev(const QString& s, const QString& what, Compare mode) {
    if (s.isEmpty())
        return 0;
    if (what.isEmpty())
        return s.size(); // the last position an empty text is found at, as InStr counts it
    const QStringView text(s);
    for (qsizetype i = s.size() - what.size(); i >= 0; --i) {
        const QStringView piece = text.mid(i, what.size());
        if (mode == Compare::Binary ? piece == what : equalIgnoringCase(piece, what))
            return i + 1;
    }
    return 0;
}

bool Contains(const QString& s, const QString& what) {
    // Same answer as InStr: an empty what is in every text except the empty one.
    return InStr(1, s, what, Compare::Binary) > 0;
}

bool TextEquals(QStringView a, QStringView b, Compare mode) {
    if (mode == Compare::Binary)
        return a == b;
    return a.size() == b.size() && equalIgnoringCase(a, b);
}

QStringList Split(const QString& s, const QString& sep) {
    if (s.isEmpty())
        return {};
    if (sep.isEmpty())
        return {s}; // an empty separator never matches: the whole text is one piece
    return s.split(sep, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

} // namespace vb
