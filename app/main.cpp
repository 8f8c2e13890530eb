#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/Translations.h"
#include "platform/ui/ErrorReport.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    // From a script or a terminal: no window, so no display needed.
    if (WantsCommandLine(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("tou-master-fix"));
        QCoreApplication::setApplicationVersion(QStringLiteral(TOU_VERSION));
        InstallTranslations(app);
        return RunCommandLine(app);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tou-master-fix"));
    QApplication::setDesktopFileName(QStringLiteral(TOU_APP_ID));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tou-master-fix.svg")));
    InstallTranslations(app);

    Form1 form;
    // The one place the window's font reaches the other windows: message
    // boxes and the progress dialog.
    QApplication::setFont(form.font());
    platform::RunHandler([&form] { form.Form_Load(); });
    if (platform::EndRequested())
        return platform::kErrorExitStatus;
    form.show();
    return app.exec();
}
