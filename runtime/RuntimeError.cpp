#include "runtime/RuntimeError.h"

#include <QCoreApplication>

namespace vb {

RuntimeError::RuntimeError(int number, QString description)
    : number_(number), description_(std::move(description)), what_(description_.toUtf8()) {}

void raise(int number, const QString& description) {
    throw RuntimeError(number, description);
}

void raise(int number) {
    throw RuntimeError(number, standardDescription(number));
}

QString standardDescription(int number) {
    switch (number) {
    case kInvalidProcedureCall:
        return QCoreApplication::translate("vb", "Invalid procedure call or argument");
    case kOverflow:
        return QCoreApplication::translate("vb", "Overflow");
    case kDivisionByZero:
        return QCoreApplication::translate("vb", "Division by zero");
    case kUserInterrupt:
        return QCoreApplication::translate("vb", "User interrupt occurred");
    default:
        return QCoreApplication::translate("vb", "Application-defined or object-defined error");
    }
}

} // namespace vb
