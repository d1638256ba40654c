#include "ui/Form_settings.h"

#include <QCheckBox>
#include <QLabel>

#include "controls/Dialog_keys.h"
#include "controls/Grad_button.h"
#include "ui/Font_chooser.h"

TFormSettings *FormSettings = nullptr;

namespace {

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

TFontChooser *MakeChooser(QWidget *parent, const char *name, const QString &accessible)
{
    auto *chooser = new TFontChooser(parent);
    chooser->setObjectName(QString::fromLatin1(name));
    chooser->setAccessibleName(accessible);
    FontDescription tahoma;
    tahoma.name = "Tahoma";
    tahoma.height = -11;
    tahoma.colour = WINDOW_TEXT_COLOUR;
    chooser->SetFont(tahoma);
    return chooser;
}

} // namespace

TFormSettings::TFormSettings(FontSettingsOwner *fonts, QWidget *parent)
    : TDialogWindow(parent, Keys::Dialog)
    , Label1(MakeLabel(this, "Label1", QStringLiteral("Шрифт списка слов:"), 8, 24))
    , Label3(MakeLabel(this, "Label3", QStringLiteral("Шрифт статьи:"), 8, 69))
    , GradButton1(MakeButton("GradButton1", QStringLiteral("ОК"), 8, 138))
    , GradButton2(MakeButton("GradButton2", QStringLiteral("Отмена"), 100, 138))
    , GradButton3(MakeButton("GradButton3", QStringLiteral("Изменить"), 132, 24))
    , GradButton4(MakeButton("GradButton4", QStringLiteral("Изменить"), 132, 69))
    , FontDialog1(MakeChooser(this, "FontDialog1", QStringLiteral("Шрифт списка слов")))
    , FontDialog2(MakeChooser(this, "FontDialog2", QStringLiteral("Шрифт статьи")))
    , AllArticles(new QCheckBox(QStringLiteral("Показывать статьи всех словарей"), this))
    , fonts(fonts)
{
    setObjectName(QStringLiteral("FormSettings"));
    SetUpDialogWindow(
        this, QStringLiteral("Настройки"), 218, 171, PixelFont(QStringLiteral("Tahoma"), 11));
    AllArticles->setObjectName(QStringLiteral("AllArticles"));
    AllArticles->setAccessibleName(AllArticles->text());
    AllArticles->setChecked(true);
    AllArticles->setGeometry(8, 106, 202, 20);
    Label1->setAccessibleName(Label1->text());
    Label3->setAccessibleName(Label3->text());
    GradButton1->setAccessibleName(QStringLiteral("Принять и сохранить шрифты"));
    GradButton2->setAccessibleName(QStringLiteral("Отменить"));
    GradButton3->setAccessibleName(QStringLiteral("Изменить шрифт списка слов"));
    GradButton4->setAccessibleName(QStringLiteral("Изменить шрифт статьи"));
    GradButton1->SetDefault(true);

    setTabOrder(GradButton1, GradButton2);
    setTabOrder(GradButton2, GradButton3);
    setTabOrder(GradButton3, GradButton4);
    setTabOrder(GradButton4, AllArticles);

    connect(GradButton1, &TGradButton::clicked, this, [this] { GradButton1Click(); });
    connect(GradButton2, &TGradButton::clicked, this, [this] { GradButton2Click(); });
    connect(GradButton3, &TGradButton::clicked, this, [this] { Button1Click(); });
    connect(GradButton4, &TGradButton::clicked, this, [this] { Button2Click(); });
    InstallDialogKeys(this);
}

TGradButton *TFormSettings::MakeButton(const char *name, const QString &caption, int left, int top)
{
    auto *button = new TGradButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->SetColorScheme(csSilver);
    button->SetHotTrack(true);
    button->SetLayout(blGlyphLeft);
    button->SetSpacing(4);
    button->SetCaption(caption);
    button->setGeometry(left, top, 75, 25);
    return button;
}

void TFormSettings::SetFonts(const FontDescription &list, const FontDescription &article)
{
    FontDialog1->SetFont(list);
    FontDialog2->SetFont(article);
}

void TFormSettings::SetAllArticles(bool on)
{
    AllArticles->setChecked(on);
}

void TFormSettings::Button1Click()
{
    if (FontDialog1->Execute() && fonts)
        fonts->ApplyFonts(&FontDialog1->Font(), nullptr);
}

void TFormSettings::Button2Click()
{
    if (FontDialog2->Execute() && fonts)
        fonts->ApplyFonts(nullptr, &FontDialog2->Font());
}

void TFormSettings::GradButton1Click()
{
    if (fonts) {
        fonts->SaveArticleSettings(AllArticles->isChecked());
        fonts->SaveFontSettings(FontDialog1->Font(), FontDialog2->Font());
    }
    accept();
}

void TFormSettings::GradButton2Click()
{
    reject();
}

void TFormSettings::FormClose()
{
    if (fonts)
        fonts->LoadFontSettings();
}

void TFormSettings::done(int result)
{
    FormClose();
    QDialog::done(result);
}
