#include "ui/Dialog_window.h"

#include <QDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include "ui/Form_main.h"

void SetUpDialogWindow(
    QDialog *dialog, const QString &caption, int width, int height, const QFont &font)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setWindowTitle(caption);
    dialog->setFixedSize(width, height);
    dialog->setFont(font);
}

void CentreOnMainWindow(QWidget *dialog)
{
    QRect area;
    if (Form1 && Form1->isVisible())
        area = Form1->frameGeometry();
    else if (const QScreen *screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    else
        return;
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(area.center());
    dialog->move(frame.topLeft());
}

void ShowErrorBox(QWidget *parent, const QString &caption, const QString &text)
{
    // The toolkit centres a box over its parent's place, which for a window never shown is the
    // screen's corner.
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok,
        parent && parent->isVisible() ? parent : nullptr);
    box.exec();
}

QFont PixelFont(const QString &family, int pixels)
{
    QFont font(family);
    font.setPixelSize(pixels);
    return font;
}
