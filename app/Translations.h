#pragma once
class QCoreApplication;

// Loads the Japanese texts (ours and Qt's own dialogs') on a Japanese locale.
void InstallTranslations(QCoreApplication& app);
