#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void InstallTranslations(QCoreApplication& app) {
    const QLocale locale;
    if (locale.language() != QLocale::Japanese)
        return;
    // Parent-owned so they live exactly as long as the application.
    auto* own = new QTranslator(&app);
    if (own->load(QStringLiteral(":/i18n/tou_ja.qm")))
        QCoreApplication::installTranslator(own);
    auto* qt = new QTranslator(&app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
}
