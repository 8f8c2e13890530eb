#pragma once
// A database value as the engine hands it out: Null, a whole number, a
// floating-point number, a text or binary data, and the kinds only some
// files store: currency, a truth value, a date and an exact decimal.
#include "runtime/Currency.h"
#include "runtime/Truth.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <variant>

namespace vb {

struct Null {
    friend bool operator==(Null, Null) noexcept { return true; }
};

// A Yes/No value; its own kind so that it reads as "True"/"False", not -1/0.
struct TruthValue {
    Boolean value = vbFalse;
    friend bool operator==(TruthValue, TruthValue) = default;
};

// A date and time as the automation double: whole days since 1899-12-30,
// the time of day as the fraction (taken without its sign before that day).
struct Date {
    double days = 0;
    friend bool operator==(Date, Date) = default;
};

// An exact decimal number as its digits: an optional "-", the integer digits, and
// a "." with the fraction only when the fraction is not zero ("-12.5", "0").
struct Decimal {
    QString digits;
    friend bool operator==(const Decimal&, const Decimal&) = default;
};

class Variant {
public:
    using Storage = std::variant<Null, std::int64_t, double, QString, QByteArray, Currency, TruthValue, Date, Decimal>;

    Variant() = default; // Null
    Variant(Null) {}
    Variant(int v) : v_(std::int64_t{v}) {}
    Variant(std::int64_t v) : v_(v) {}
    Variant(double v) : v_(v) {}
    Variant(QString v) : v_(std::move(v)) {}
    Variant(const char16_t* v) : v_(QString::fromUtf16(v)) {}
    Variant(QByteArray v) : v_(std::move(v)) {}
    Variant(Currency v) : v_(v) {}
    Variant(TruthValue v) : v_(v) {}
    Variant(Date v) : v_(v) {}
    Variant(Decimal v) : v_(std::move(v)) {}

    bool isNull() const noexcept { return std::holds_alternative<Null>(v_); }
    bool isInteger() const noexcept { return std::holds_alternative<std::int64_t>(v_); }
    bool isDouble() const noexcept { return std::holds_alternative<double>(v_); }
    bool isText() const noexcept { return std::holds_alternative<QString>(v_); }
    bool isBinary() const noexcept { return std::holds_alternative<QByteArray>(v_); }

    const Storage& storage() const noexcept { return v_; }

    // The text form used wherever a value is turned into text: Null gives the
    // empty text, whole numbers their decimal digits, floating-point numbers
    // up to 15 significant digits ("12.5", "1E+20"), texts unchanged, binary
    // data read as UTF-16. Currency shows its digits without trailing zeros
    // ("12.5", "-0.0001"), truth values "True"/"False", dates "yyyy/MM/dd
    // H:mm:ss" (the time left out at midnight, the date on 1899/12/30),
    // decimals their digits. Numbers use "." and no grouping, so Val reads
    // them back.
    QString toText() const;

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    Storage v_;
};

} // namespace vb
