#include "ui/Application_setup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void NameApplication()
{
    // Names the user's own folders (~/.config/kalvora and the like). No display name: the
    // toolkit would append it to every caption ("Словари — Kalvora").
    QApplication::setApplicationName(QStringLiteral("kalvora"));
}

void SetUpApplication()
{
    NameApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.kalvora.Kalvora"));

    // Russian whatever the desktop's language: the program's own texts are.
    auto *translator = new QTranslator(qApp);
    if (translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
            QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}
