#include <exception>

#include <QApplication>
#include <QMessageBox>

#include "ui/Form_main.h"

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    try {
        const std::string programFolder =
            QCoreApplication::applicationDirPath().toStdString() + "/";
        TForm1 form(programFolder);
        Form1 = &form;
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
