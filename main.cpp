#include <exception>

#include <QApplication>
#include <QMessageBox>

#include "ui/Application_setup.h"
#include "ui/Form_about.h"
#include "ui/Form_dics.h"
#include "ui/Form_main.h"
#include "ui/Form_settings.h"

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    SetUpApplication();
    try {
        const std::string programFolder =
            QCoreApplication::applicationDirPath().toStdString() + "/";
        TForm1 form(LocateProgramPaths(programFolder, IsWritableFolder(programFolder)));
        Form1 = &form;
        TDicsForm dicsForm(&form);
        DicsForm = &dicsForm;
        TAboutForm aboutForm(&form);
        AboutForm = &aboutForm;
        TFormSettings formSettings(&form);
        FormSettings = &formSettings;
        QObject::connect(
            &form, &TForm1::dictionariesRequested, &dicsForm, [] { DicsForm->exec(); });
        QObject::connect(&form, &TForm1::settingsRequested, &formSettings, [] {
            FormSettings->SetFonts(Form1->ListFont(), Form1->ArticleFont());
            FormSettings->exec();
        });
        QObject::connect(&form, &TForm1::aboutRequested, &aboutForm, [] { AboutForm->exec(); });
        if (form.Terminated())
            return 0;
        form.show();
        application.exec();
    } catch (const std::exception &error) {
        QMessageBox::critical(
            nullptr, QStringLiteral("Kalvora"), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("Kalvora"), QString());
    }
    return 0;
}
