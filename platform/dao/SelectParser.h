#pragma once
// Recognises the one query shape that gives an updatable recordset:
//   SELECT <columns or *> FROM <table> [WHERE <column> = <literal>]
// Identifiers may be bare (any letters, Japanese included), [bracketed] or
// "quoted"; the literal is a whole number, a decimal number or a 'text'.
#include "runtime/Variant.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <variant>

namespace dao::detail {

struct SimpleSelect {
    QStringList columns; // empty for *
    QString table;
    using Literal = std::variant<std::int64_t, double, QString>;
    struct Condition {
        QString column;
        Literal literal;
        // Where the literal (with its sign) starts in the text: everything
        // before it is the query's shape, shared by every query that differs
        // only in the value.
        qsizetype literalStart = 0;
    };
    std::optional<Condition> where;
};

// The literal as a value of its own type.
vb::Variant literalValue(const SimpleSelect::Literal& literal);

// The parsed query, or nothing when the text has any other shape.
std::optional<SimpleSelect> parseSimpleSelect(const QString& sql);

// The literal of a query whose text up to `start` is the shape of one already
// parsed (its Condition::literalStart): what parseSimpleSelect would find for
// the whole text, without reading the shape again. Nothing when the rest is
// not a literal alone.
std::optional<SimpleSelect::Literal> parseLiteralAt(const QString& sql, qsizetype start);

// Whether `sql` is a query of a shape kept as `text` (the whole query when
// `literalStart` < 0, else the text before its literal); sets `literal` to
// the query's own literal.
bool matchesShape(const QString& sql, const QString& text, qsizetype literalStart,
                  std::optional<SimpleSelect::Literal>& literal);

} // namespace dao::detail
