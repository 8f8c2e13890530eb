// tou-error-report-child <error>: an event handler raising <error> inside a
// real event loop, with the default error report. Its box is answered by
// printing "box <buttons>" and the box's text; the process ends with whatever
// the event loop returns, as the program's main does.
//   runtime   vb::RuntimeError 6 with the standard description
//   numbered  vb::RuntimeError 3024 with a description of its own
//   length    std::length_error
//   memory    std::bad_alloc
#include "platform/ui/ErrorReport.h"
#include "platform/ui/MsgBox.h"
#include "runtime/RuntimeError.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

namespace {

void say(const QString& text) {
    std::fputs(text.toUtf8().append('\n').constData(), stdout);
    std::fflush(stdout);
}

void raiseNamed(const std::string& error) {
    if (error == "runtime")
        vb::raise(vb::kOverflow);
    if (error == "numbered")
        vb::raise(3024, QStringLiteral(u"ファイル 'x.mdb' が見つかりません。"));
    if (error == "length")
        throw std::length_error("vector too long");
    if (error == "memory")
        throw std::bad_alloc();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const std::string error = argv[1];
    platform::ScopedMsgBoxHandler box([](const platform::MsgBoxRequest& r) {
        say(QStringLiteral("box %1").arg(r.buttons));
        say(r.prompt);
        return platform::vbOK;
    });
    QTimer::singleShot(0, [&error] { platform::RunHandler([&error] { raiseNamed(error); }); });
    return app.exec();
}
