// The recogniser of the one updatable query shape: whatever it accepts, the
// same query written out again in a canonical way is accepted with the same
// columns, table and condition, and reading the value alone from where the
// shape ends gives the same value; the query the window builds is always
// accepted.
#include "FuzzText.h"

#include "platform/dao/SelectParser.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

using dao::detail::SimpleSelect;

QString quoted(const QString& name) {
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

bool literalsEqual(const auto& a, const auto& b) {
    if (a.index() != b.index())
        return false;
    if (const double* x = std::get_if<double>(&a))
        return std::isnan(*x) ? std::isnan(std::get<double>(b)) : *x == std::get<double>(b);
    return a == b;
}

// nullopt when the literal has no written form the shape allows (infinity, NaN).
std::optional<QString> written(const std::variant<std::int64_t, double, QString>& literal) {
    if (const auto* n = std::get_if<std::int64_t>(&literal))
        return QString::number(*n);
    if (const auto* d = std::get_if<double>(&literal)) {
        if (!std::isfinite(*d))
            return std::nullopt;
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, *d, std::chars_format::scientific);
        return QString::fromLatin1(buf, r.ptr - buf);
    }
    QString t = std::get<QString>(literal);
    t.replace(u'\'', QStringLiteral("''"));
    return u'\'' + t + u'\'';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QString sql = fuzz::text(in, u"SELECT FROM WHERE * , = ; -+ .eE 0123 '\"[]` 棟番号 x\t\n", 200);
    const std::optional<SimpleSelect> parsed = dao::detail::parseSimpleSelect(sql);
    if (parsed && parsed->where) {
        // The quick reading of the value alone agrees with the full reading.
        const auto literal = dao::detail::parseLiteralAt(sql, parsed->where->literalStart);
        FUZZ_REQUIRE(literal && literalsEqual(*literal, parsed->where->literal), sql);
    }
    if (parsed) {
        QString canonical = QStringLiteral("SELECT ");
        if (parsed->columns.isEmpty()) {
            canonical += u'*';
        } else {
            QStringList names;
            for (const QString& c : parsed->columns)
                names << quoted(c);
            canonical += names.join(u',');
        }
        canonical += QStringLiteral(" FROM ") + quoted(parsed->table);
        std::optional<QString> literal;
        if (parsed->where && (literal = written(parsed->where->literal)))
            canonical += QStringLiteral(" WHERE ") + quoted(parsed->where->column) + QStringLiteral(" = ") + *literal;
        if (!parsed->where || literal) {
            const std::optional<SimpleSelect> again = dao::detail::parseSimpleSelect(canonical);
            FUZZ_REQUIRE(again, sql);
            FUZZ_REQUIRE(again->columns == parsed->columns && again->table == parsed->table, sql);
            FUZZ_REQUIRE(again->where.has_value() == parsed->where.has_value(), sql);
            if (again->where) {
                FUZZ_REQUIRE(again->where->column == parsed->where->column, sql);
                FUZZ_REQUIRE(literalsEqual(again->where->literal, parsed->where->literal), sql);
            }
        }
    }

    // The per-row query of the run, for any 32-bit building number.
    const std::int32_t n = in.ConsumeIntegral<std::int32_t>();
    const QString perRow =
        QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ WHERE 棟番号=") + QString::number(n);
    const std::optional<SimpleSelect> row = dao::detail::parseSimpleSelect(perRow);
    FUZZ_REQUIRE(row && row->table == QStringLiteral(u"棟マスタ") && row->columns.size() == 3, perRow);
    FUZZ_REQUIRE(row->where && std::get<std::int64_t>(row->where->literal) == n, perRow);
    // The next row's query shares the shape; only its number is read again.
    const std::int32_t next = in.ConsumeIntegral<std::int32_t>();
    const QString nextRow = perRow.left(row->where->literalStart) + QString::number(next);
    const auto nextLiteral = dao::detail::parseLiteralAt(nextRow, row->where->literalStart);
    FUZZ_REQUIRE(nextLiteral && std::get<std::int64_t>(*nextLiteral) == next, nextRow);
    return 0;
}
