#pragma once
// Reading a connect text such as ";pwd=secret".
#include <QString>

#include <optional>

namespace dao {

// The password of a connect text (key names are case-insensitive; the value
// is taken verbatim), or nothing when absent.
std::optional<QString> passwordFromConnect(const QString& connect);

} // namespace dao
