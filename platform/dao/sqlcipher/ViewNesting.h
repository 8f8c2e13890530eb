#pragma once
// How deeply views in a file nest, read from their definitions without
// letting SQLite expand them: SQLite works out a view's columns by recursion
// through the views it names, so a long enough chain overflows the stack
// while a plain statement is being prepared.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include <QString>
#include <QStringList>

#include <map>

namespace dao::detail {

// How many views (and sub-queries) one statement may expand.
inline constexpr int kMostNestedViews = 200;

// How many characters of definitions one statement may reach. SQLite
// recurses through every expression of every view, common table expression
// and generated column it expands, a few hundred bytes of stack for each
// character at worst ("~~~x"), so this bounds the stack any prepare needs
// (the source's reading thread has ample room for it) while a real table's
// definition is a few thousand characters.
inline constexpr qsizetype kLargestDefinitions = 128 * 1024;

// The names a statement's text mentions (bare, "quoted", [bracketed] or
// `backquoted`), folded to lower case; string literals are passed over.
QStringList namesIn(const QString& sql);

// The longest chain of views reached from the `start` names, through
// `views` (lower-case name → its CREATE VIEW text), counting each view once
// per chain; stops counting past `cap`.
int viewNesting(const std::map<QString, QString>& views, const QStringList& start, int cap);

// The characters of the definitions reached from the `start` names through
// `definitions` (lower-case name of a table or view → its CREATE text),
// each counted once; stops counting past `cap`.
qsizetype definitionsReached(const std::map<QString, QString>& definitions, const QStringList& start, qsizetype cap);

} // namespace dao::detail
