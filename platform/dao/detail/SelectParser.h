#pragma once
// Recognises the one query shape that gives an updatable recordset:
//   SELECT <columns or *> FROM <table> [WHERE <column> = <literal>]
// Identifiers may be bare (any letters, Japanese included), [bracketed] or
// "quoted"; the literal is a whole number, a decimal number or a 'text'.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <variant>

namespace dao::detail {

struct SimpleSelect {
    QStringList columns; // empty for *
    QString table;
    struct Condition {
        QString column;
        std::variant<std::int64_t, double, QString> literal;
    };
    std::optional<Condition> where;
};

// The parsed query, or nothing when the text has any other shape.
std::optional<SimpleSelect> parseSimpleSelect(const QString& sql);

} // namespace dao::detail
