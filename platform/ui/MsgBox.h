#pragma once
// The platform's modal message box. The real one is a QMessageBox; tests
// replace it with ScopedMsgBoxHandler and answer it without a window.
#include "platform/ui/ScopedOverride.h"

#include <QString>
#include <functional>

namespace platform {

// Button and icon style bits, as the message box takes them.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbCritical = 16;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
// The answer of an OK button.
inline constexpr int vbOK = 1;

struct MsgBoxRequest {
    QString prompt;
    int buttons = vbOKOnly;
    QString title;
};

using MsgBoxHandler = std::function<int(const MsgBoxRequest&)>;

// Shows a modal box and returns the button the user pressed. An empty title
// shows the application's title.
int MsgBox(const QString& prompt, int buttons = vbOKOnly, const QString& title = QString());

// While alive, every MsgBox call goes to the given handler instead of a window.
class ScopedMsgBoxHandler : public ScopedOverride<MsgBoxHandler> {
public:
    explicit ScopedMsgBoxHandler(MsgBoxHandler handler);
};

} // namespace platform
