#pragma once
// A database value as the engine hands it out: Null, a whole number, a
// floating-point number, a text or binary data.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <variant>

namespace vb {

struct Null {
    friend bool operator==(Null, Null) noexcept { return true; }
};

class Variant {
public:
    using Storage = std::variant<Null, std::int64_t, double, QString, QByteArray>;

    Variant() = default; // Null
    Variant(Null) {}
    Variant(int v) : v_(std::int64_t{v}) {}
    Variant(std::int64_t v) : v_(v) {}
    Variant(double v) : v_(v) {}
    Variant(QString v) : v_(std::move(v)) {}
    Variant(const char16_t* v) : v_(QString::fromUtf16(v)) {}
    Variant(QByteArray v) : v_(std::move(v)) {}

    bool isNull() const noexcept { return std::holds_alternative<Null>(v_); }
    bool isInteger() const noexcept { return std::holds_alternative<std::int64_t>(v_); }
    bool isDouble() const noexcept { return std::holds_alternative<double>(v_); }
    bool isText() const noexcept { return std::holds_alternative<QString>(v_); }
    bool isBinary() const noexcept { return std::holds_alternative<QByteArray>(v_); }

    const Storage& storage() const noexcept { return v_; }

    // The text form used wherever a value is turned into text: Null gives the
    // empty text, whole numbers their decimal digits, floating-point numbers
    // up to 15 significant digits ("12.5", "1E+20"), texts unchanged, binary
    // data read as UTF-16.
    QString toText() const;

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    Storage v_;
};

} // namespace vb
