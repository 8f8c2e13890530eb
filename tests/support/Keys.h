#pragma once
// The fixed keys of the two editions' files, as the program opens them.
#include <QString>

namespace testsupport {

inline const QString kSourceKey = QStringLiteral("k3pwnvhtq7"); // the older edition, chosen by the user
inline const QString kTargetKey = QStringLiteral("r8mfyelc4s"); // the newer edition, beside the program

} // namespace testsupport
