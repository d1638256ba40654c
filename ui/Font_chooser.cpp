#include "ui/Font_chooser.h"

#include <cmath>
#include <cstdlib>

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFontDialog>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Ansi_text.h"
#include "ui/Colours.h"

namespace {

struct NamedColour
{
    const char *name;
    std::int32_t value;
};

// The sixteen colours every colour list of this desktop family offers, 0x00BBGGRR.
const NamedColour CLASSIC_COLOURS[] = {
    {"Чёрный", 0x000000},
    {"Бордовый", 0x000080},
    {"Зелёный", 0x008000},
    {"Оливковый", 0x008080},
    {"Тёмно-синий", 0x800000},
    {"Фиолетовый", 0x800080},
    {"Сине-зелёный", 0x808000},
    {"Серый", 0x808080},
    {"Серебристый", 0xC0C0C0},
    {"Красный", 0x0000FF},
    {"Лайм", 0x00FF00},
    {"Жёлтый", 0x00FFFF},
    {"Синий", 0xFF0000},
    {"Фуксия", 0xFF00FF},
    {"Голубой", 0xFFFF00},
    {"Белый", 0xFFFFFF},
};

QIcon Swatch(const QColor &colour)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
    return QIcon(pixmap);
}

// The embedded font dialog is still a dialog: Escape or Enter inside it would close it alone and
// leave a hole in the chooser. Those keys belong to the chooser.
class DialogKeysToChooser : public QObject
{
public:
    explicit DialogKeysToChooser(QDialog *chooser)
        : QObject(chooser)
        , chooser(chooser)
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Escape:
            chooser->reject();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            chooser->accept();
            return true;
        default:
            return false;
        }
    }

private:
    QDialog *chooser;
};

// The font widget finds a style by its name ("Normal", "Bold Italic") and otherwise opens on the
// family's first style, which need not be the plain one: DejaVu Sans calls that "Book" and would
// open as Oblique. The style this desktop draws the font in is named outright.
QFont WithItsOwnStyle(QFont qfont)
{
    const QFontInfo drawn(qfont);
    if (drawn.family() == qfont.family() && !drawn.styleName().isEmpty())
        qfont.setStyleName(drawn.styleName());
    return qfont;
}

} // namespace

TFontChooser::Runner TFontChooser::run = [](TFontChooser &chooser) {
    return chooser.exec() == QDialog::Accepted;
};

TFontChooser::ColourPicker TFontChooser::pickColour = [](QWidget *parent, const QColor &initial) {
    return QColorDialog::getColor(initial, parent, QStringLiteral("Цвет"));
};

QFont FontFromDescription(const FontDescription &description)
{
    QFont qfont(AnsiToQString(description.name));
    if (description.height != 0)
        qfont.setPixelSize(std::abs(description.height));
    qfont.setBold(description.style & fsBold);
    qfont.setItalic(description.style & fsItalic);
    qfont.setUnderline(description.style & fsUnderline);
    qfont.setStrikeOut(description.style & fsStrikeOut);
    return qfont;
}

TFontChooser::TFontChooser(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Шрифт"));
    setAccessibleName(QStringLiteral("Выбор шрифта"));
}

void TFontChooser::BuildControls()
{
    if (fontWidget)
        return;
    fontWidget = new QFontDialog(this);
    colourList = new QComboBox(this);
    otherColour = new QPushButton(QStringLiteral("Другой..."), this);

    fontWidget->setObjectName(QStringLiteral("FontWidget"));
    fontWidget->setAccessibleName(QStringLiteral("Шрифт, размер и начертание"));
    fontWidget->setOption(QFontDialog::DontUseNativeDialog);
    fontWidget->setOption(QFontDialog::NoButtons);
    fontWidget->setWindowFlags(Qt::Widget);
    fontWidget->installEventFilter(new DialogKeysToChooser(this));

    colourList->setObjectName(QStringLiteral("ColourList"));
    colourList->setAccessibleName(QStringLiteral("Цвет шрифта"));
    for (const NamedColour &colour : CLASSIC_COLOURS)
        AddColour(QString::fromUtf8(colour.name), colour.value);
    int systemCount = 0;
    const SystemColour *system = SystemColours(systemCount);
    for (int i = 0; i < systemCount; ++i)
        AddColour(QString::fromLatin1(system[i].name), system[i].value);

    otherColour->setObjectName(QStringLiteral("OtherColour"));
    otherColour->setAccessibleName(QStringLiteral("Другой цвет"));
    otherColour->setAutoDefault(false);
    connect(otherColour, &QPushButton::clicked, this, [this] { OtherColourClick(); });

    auto *colourLabel = new QLabel(QStringLiteral("&Цвет:"), this);
    colourLabel->setBuddy(colourList);
    auto *colourRow = new QHBoxLayout;
    colourRow->addWidget(colourLabel);
    colourRow->addWidget(colourList, 1);
    colourRow->addWidget(otherColour);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fontWidget);
    layout->addLayout(colourRow);
    layout->addWidget(buttons);
}

QFontDialog *TFontChooser::FontWidget()
{
    BuildControls();
    return fontWidget;
}

QComboBox *TFontChooser::ColourList()
{
    BuildControls();
    return colourList;
}

void TFontChooser::setVisible(bool visible)
{
    if (visible)
        BuildControls();
    QDialog::setVisible(visible);
}

void TFontChooser::AddColour(const QString &name, std::int32_t colour)
{
    colourList->addItem(Swatch(ToQColor(colour)), name, QVariant(colour));
}

bool TFontChooser::Execute()
{
    LoadControls();
    if (!run(*this))
        return false;
    font = ReadControls();
    return true;
}

void TFontChooser::LoadControls()
{
    BuildControls();
    fontWidget->setCurrentFont(WithItsOwnStyle(FontFromDescription(font)));
    shownFont = fontWidget->currentFont();
    SelectColour(font.colour);
}

FontDescription TFontChooser::ReadControls() const
{
    const QFont chosen = fontWidget->currentFont();
    FontDescription result = font;
    if (chosen.family() != shownFont.family())
        result.name = ToAnsi(chosen.family());
    if (chosen.pixelSize() != shownFont.pixelSize()
        || chosen.pointSizeF() != shownFont.pointSizeF())
        result.height = -PixelHeight(chosen);

    const auto keep = [&](bool now, bool shown, FontStyle bit) {
        if (now != shown)
            result.style = now ? result.style | bit : result.style & ~bit;
    };
    keep(chosen.bold(), shownFont.bold(), fsBold);
    keep(chosen.italic(), shownFont.italic(), fsItalic);
    keep(chosen.underline(), shownFont.underline(), fsUnderline);
    keep(chosen.strikeOut(), shownFont.strikeOut(), fsStrikeOut);
    result.colour = SelectedColour();
    return result;
}

// The program keeps character heights in pixels; a size in points is measured on this screen.
int TFontChooser::PixelHeight(const QFont &chosen) const
{
    if (chosen.pixelSize() > 0)
        return chosen.pixelSize();
    const long pixels = std::lround(chosen.pointSizeF() * logicalDpiY() / 72.0);
    return pixels < 1 ? 1 : static_cast<int>(pixels);
}

std::int32_t TFontChooser::SelectedColour() const
{
    if (!colourList)
        return font.colour;
    const QVariant value = colourList->currentData();
    return value.isValid() ? value.toInt() : font.colour;
}

void TFontChooser::SelectColour(std::int32_t colour)
{
    BuildControls();
    int index = colourList->findData(QVariant(colour));
    if (index < 0) {
        // One entry holds a colour of the user's own; a newer one replaces it.
        if (customEntry < 0) {
            colourList->addItem(QString());
            customEntry = colourList->count() - 1;
        }
        const QColor shown = ToQColor(colour);
        colourList->setItemIcon(customEntry, Swatch(shown));
        colourList->setItemText(customEntry, shown.name(QColor::HexRgb).toUpper());
        colourList->setItemData(customEntry, QVariant(colour));
        index = customEntry;
    }
    colourList->setCurrentIndex(index);
}

void TFontChooser::OtherColourClick()
{
    const QColor picked = pickColour(this, ToQColor(SelectedColour()));
    if (picked.isValid())
        SelectColour(FromQColor(picked));
}
