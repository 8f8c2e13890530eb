#pragma once
// The application object: where the program lives and what it is called.
#include "platform/ui/ScopedOverride.h"

#include <QString>

namespace platform::App {

// The folder that holds the executable, without a trailing separator except
// for a root folder.
QString Path();
// The application's title, shown as the caption of boxes that name none.
QString Title();

// While alive, Path() answers the given folder (tests place a program folder anywhere).
class ScopedPathOverride : public ScopedOverride<QString> {
public:
    explicit ScopedPathOverride(QString path);
};

} // namespace platform::App
