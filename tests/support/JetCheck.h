#pragma once
// A second opinion on a Jet 4 (.mdb) file: one table checked read-only by
// Jackcess (tests/support/JetCheck.java), which shares no code with the
// project's reader or writer. Needs java, javac and the Jackcess jar at test
// time only; without them every check reports itself skipped.
#include <QString>
#include <QStringList>

#include <vector>

namespace testsupport {

// An expected value that is Null (any other text is the value itself).
inline const QString kJetNull = QStringLiteral("\\N");

struct JetCheckResult {
    bool skipped;   // no Java or no jar: nothing was checked
    QString why;    // why it was skipped
    bool ok;        // every check held
    QString output; // the checker's report, one finding a line
};

// Checks `table` of `file` with Jackcess: a full scan gives exactly
// `expectedRows` in that order (every column of the table, in table order,
// as text: whole numbers in decimal, Double as Java prints it, "101.0");
// the definition's row count matches; every index walks all rows in order
// and passes Jackcess's own validation; every row is found through each
// single-column non-text index by its key. The file itself is never changed.
JetCheckResult jackcessCheck(const QString& file, const QString& table, const std::vector<QStringList>& expectedRows);

} // namespace testsupport
