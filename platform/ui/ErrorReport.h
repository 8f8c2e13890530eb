#pragma once
// The default error report: an error that leaves an event handler is shown
// with its number and description, and the program then ends.
#include "platform/ui/ScopedOverride.h"

#include <QString>
#include <functional>
#include <utility>

namespace platform {

struct ErrorReportRequest {
    int number = 0;
    QString description;
};

using ErrorReportHandler = std::function<void(const ErrorReportRequest&)>;

// Shows the report in a critical MsgBox ("Run-time error 'N':" and the
// description) and asks the program to end with kErrorExitStatus. A test
// answers the box with ScopedMsgBoxHandler; the program still ends.
void ReportError(int number, const QString& description);

// Whether a report has asked the program to end (main checks it after load).
bool EndRequested();
// The exit status the program ends with after a report.
inline constexpr int kErrorExitStatus = 1;

// While alive, reports go to the handler instead of a window, and the program is not ended.
class ScopedErrorReportHandler : public ScopedOverride<ErrorReportHandler> {
public:
    explicit ScopedErrorReportHandler(ErrorReportHandler handler);
};

// The error being handled (call inside a catch block): a run-time error as
// it is, running out of memory as 7, anything else as an internal error 51.
ErrorReportRequest CaughtError();

// Runs an event handler to its end; an error escaping it reaches the report
// only after the handler's own objects have been released.
void RunHandler(const std::function<void()>& handler);

} // namespace platform
