#include "app/Form1.h"
#include "app/Translations.h"
#include "platform/ui/ErrorReport.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tou-master-fix"));
    InstallTranslations(app);

    Form1 form;
    platform::RunHandler([&form] { form.Form_Load(); });
    if (platform::EndRequested())
        return platform::kErrorExitStatus;
    form.show();
    return app.exec();
}
