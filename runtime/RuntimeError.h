#pragma once
// One error type for the whole program: a run-time error carries a number and
// a description, and propagates as a C++ exception until a handler reports it.
#include <QByteArray>
#include <QString>
#include <exception>

namespace vb {

class RuntimeError : public std::exception {
public:
    RuntimeError(int number, QString description);

    int number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    int number_;
    QString description_;
    QByteArray what_;
};

// Error numbers the runtime itself raises.
inline constexpr int kInvalidProcedureCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kUserInterrupt = 18;

[[noreturn]] void raise(int number, const QString& description);
// Raises the numbered error with the runtime's standard (translated) description.
[[noreturn]] void raise(int number);
// The runtime's standard description for a number it knows, else "Application-defined or object-defined error".
QString standardDescription(int number);

} // namespace vb
