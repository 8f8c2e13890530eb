#include "platform/ui/ErrorReport.h"

#include "platform/ui/MsgBox.h"
#include "runtime/RuntimeError.h"

#include <QCoreApplication>

namespace platform {

namespace {

ErrorReportHandler& currentHandler() {
    static ErrorReportHandler handler;
    return handler;
}

bool& endRequested() {
    static bool requested = false;
    return requested;
}

// The platform's own critical box, so that a test can answer it like any other
// box while the program still ends.
void showBox(const ErrorReportRequest& request) {
    MsgBox(QCoreApplication::translate("ErrorReport", "Run-time error '%1':\n\n%2")
               .arg(request.number)
               .arg(request.description),
           vbCritical);
}

} // namespace

void ReportError(int number, const QString& description) {
    const ErrorReportRequest request{number, description};
    if (const auto& handler = currentHandler()) {
        handler(request);
        return;
    }
    showBox(request);
    endRequested() = true;
    // Ends the event loop once the handler has returned; before the loop runs, main checks EndRequested().
    QCoreApplication::exit(kErrorExitStatus);
}

bool EndRequested() {
    return endRequested();
}

ScopedErrorReportHandler::ScopedErrorReportHandler(ErrorReportHandler handler)
    : ScopedOverride(currentHandler(), std::move(handler)) {}

ErrorReportRequest CaughtError() {
    try {
        throw;
    } catch (const vb::RuntimeError& e) {
        return {e.number(), e.description()};
    } catch (const std::bad_alloc&) {
        return {7, QCoreApplication::translate("ErrorReport", "Out of memory")};
    } catch (const std::exception& e) {
        return {51, QCoreApplication::translate("ErrorReport", "Internal error: %1").arg(QString::fromUtf8(e.what()))};
    }
}

void RunHandler(const std::function<void()>& handler) {
    ErrorReportRequest error;
    try {
        handler();
        return;
    } catch (const std::exception&) {
        error = CaughtError();
    }
    ReportError(error.number, error.description);
}

} // namespace platform
