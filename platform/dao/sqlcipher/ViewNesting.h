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

// The names a statement's text mentions (bare, "quoted", [bracketed] or
// `backquoted`), folded to lower case; string literals are passed over.
QStringList namesIn(const QString& sql);

// The longest chain of views reached from the `start` names, through
// `views` (lower-case name → its CREATE VIEW text), counting each view once
// per chain; stops counting past `cap`.
int viewNesting(const std::map<QString, QString>& views, const QStringList& start, int cap);

} // namespace dao::detail
