#pragma once
// Text primitives with the language's rules: 1-based positions counted in
// UTF-16 code units, and error 5 for a negative count.
#include <QString>
#include <QStringList>
#include <QStringView>

namespace vb {

enum class Compare { Binary, Text };

// The first n characters; n beyond the length gives the whole text; error 5 for n < 0.
QString Left(const QString& s, qsizetype n);
// The characters from position p (p >= 1) to the end; p beyond the length gives "".
// Error 5 for p < 1.
QString Mid(const QString& s, qsizetype p);
// n characters from position p (p >= 1), fewer when the text ends sooner;
// error 5 for p < 1 or n < 0.
QString Mid(const QString& s, qsizetype p, qsizetype n);
// The last character, or "" for the empty text.
QString LastChar(const QString& s);
// 1-based position of the first occurrence of what in s, searching from start
// (>= 1); 0 when absent. An empty what is found at start when start <= len(s).
qsizetype InStr(qsizetype start, const QString& s, const QString& what, Compare mode);
// 1-based position of the last occurrence of what in s; 0 when absent or s is empty.
qsizetype InStrRev(const QString& s, const QString& what, Compare mode);
// Whether what occurs anywhere in s, by binary comparison.
bool Contains(const QString& s, const QString& what);
// Whether two texts are equal under the given comparison (Text: locale-aware, ignoring case).
bool TextEquals(QStringView a, QStringView b, Compare mode);
// Splits at every occurrence of sep (binary), keeping empty pieces; the empty text gives an empty list.
QStringList Split(const QString& s, const QString& sep);

} // namespace vb
