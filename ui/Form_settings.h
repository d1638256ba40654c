#ifndef UI_FORM_SETTINGS_H
#define UI_FORM_SETTINGS_H

#include "support/Font_keys.h"
#include "ui/Dialog_window.h"

class QCheckBox;
class QLabel;
class TFontChooser;
class TGradButton;

// What the settings dialog does with the fonts of the window it sets up.
class FontSettingsOwner
{
public:
    virtual ~FontSettingsOwner() = default;
    // Shows the fonts at once; either may be null: that one is left as it is.
    virtual void ApplyFonts(const FontDescription *list, const FontDescription *article) = 0;
    // Stores both in the settings.
    virtual void SaveFontSettings(const FontDescription &list, const FontDescription &article) = 0;
    // Reads the stored fonts back and shows them.
    virtual void LoadFontSettings() = 0;
    // Stores whether the pane follows an article with the other dictionaries' and shows it so.
    virtual void SaveArticleSettings(bool) { }
};

// Chooses the fonts of the word list and of the article pane. A chosen font is shown in the main
// window at once; OK stores both in the settings, and every close reads the stored ones back, so
// a preview the user did not confirm disappears.
class TFormSettings : public TDialogWindow
{
    Q_OBJECT

public:
    // fonts, when given, must outlive the dialog.
    explicit TFormSettings(FontSettingsOwner *fonts, QWidget *parent = nullptr);

    // The starting points of the two font choices; the main window's fonts before each showing.
    void SetFonts(const FontDescription &list, const FontDescription &article);
    // The starting point of "Показывать статьи всех словарей".
    void SetAllArticles(bool on);
    TFontChooser *ListFontDialog() const { return FontDialog1; }
    TFontChooser *ArticleFontDialog() const { return FontDialog2; }

    void Button1Click();
    void Button2Click();
    void GradButton1Click();
    void GradButton2Click();
    void FormClose();

    // Every close (OK, Cancel, the close box, Escape) ends here, once.
    void done(int result) override;

private:
    TGradButton *MakeButton(const char *name, const QString &caption, int left, int top);

    QLabel *Label1;
    QLabel *Label3;
    TGradButton *GradButton1;
    TGradButton *GradButton2;
    TGradButton *GradButton3;
    TGradButton *GradButton4;
    TFontChooser *FontDialog1;
    TFontChooser *FontDialog2;
    QCheckBox *AllArticles;
    FontSettingsOwner *fonts;
};

extern TFormSettings *FormSettings;

#endif // UI_FORM_SETTINGS_H
