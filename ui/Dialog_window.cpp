#include "ui/Dialog_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>

namespace {

constexpr char16_t KEY_ESCAPE = 27;

} // namespace

void SetUpDialogWindow(
    QDialog *dialog, const QString &caption, int width, int height, const QFont &font)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setWindowTitle(caption);
    dialog->setFixedSize(width, height);
    dialog->setFont(font);
}

void CentreOnParent(QWidget *dialog)
{
    const QWidget *parent = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
    QRect area;
    if (parent && parent->isVisible())
        area = parent->frameGeometry();
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

TDialogWindow::TDialogWindow(QWidget *parent, Keys keys)
    : QDialog(parent)
    , keys(keys)
{
}

void TDialogWindow::FormKeyPress(char16_t key)
{
    if (key == KEY_ESCAPE)
        reject();
}

void TDialogWindow::keyPressEvent(QKeyEvent *event)
{
    if (keys == Keys::Dialog)
        QDialog::keyPressEvent(event);
    else if (event->key() == Qt::Key_Escape)
        FormKeyPress(KEY_ESCAPE);
    else
        QWidget::keyPressEvent(event);
}

void TDialogWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CentreOnParent(this);
}
