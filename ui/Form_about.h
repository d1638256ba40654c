#ifndef UI_FORM_ABOUT_H
#define UI_FORM_ABOUT_H

#include <functional>

#include "ui/Dialog_window.h"

class QLabel;

// The product, its version, the rights line, and the web and e-mail addresses, which open in
// the desktop's browser and mail program when clicked. Escape closes the box; no other key does
// anything, Enter included.
class TAboutForm : public TDialogWindow
{
    Q_OBJECT

public:
    // Hands an address to the desktop; tests replace it to see what would be opened.
    using Opener = std::function<void(const QString &target)>;
    static Opener openWithShell;

    explicit TAboutForm(QWidget *parent = nullptr);

    void WebLabelClick();
    void MailLabelClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *Label1;
    QLabel *Label3;
    QLabel *WebLabel;
    QLabel *MailLabel;
};

extern TAboutForm *AboutForm;

#endif // UI_FORM_ABOUT_H
