#include "platform/ui/MsgBox.h"

#include "platform/ui/App.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {

int showWindow(const MsgBoxRequest& request) {
    QMessageBox box;
    box.setWindowTitle(request.title.isEmpty() ? App::Title() : request.title);
    box.setText(request.prompt);
    switch (request.buttons & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return vbOK;
}

MsgBoxHandler& currentHandler() {
    static MsgBoxHandler handler;
    return handler;
}

} // namespace

int MsgBox(const QString& prompt, int buttons, const QString& title) {
    const MsgBoxRequest request{prompt, buttons, title.isEmpty() ? App::Title() : title};
    if (const auto& handler = currentHandler())
        return handler(request);
    return showWindow(request);
}

ScopedMsgBoxHandler::ScopedMsgBoxHandler(MsgBoxHandler handler)
    : ScopedOverride(currentHandler(), std::move(handler)) {}

} // namespace platform
