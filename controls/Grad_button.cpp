#include "controls/Grad_button.h"

#include <algorithm>
#include <cmath>

#include <QAccessibleWidget>
#include <QDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace {

constexpr std::uint32_t NO_COLOUR = 0xFFFFFFFFu;

// Written as #RRGGBB in colour-index order; plain schemes leave their Grad colours alone.
constexpr std::uint32_t SCHEMES[csCustom][TGradButton::COLOR_COUNT] = {
    // csGlossDesert (0)
    {0xFFECC6, 0xFFBE37, 0xE89C00, 0xFFE7B9, 0x805600, 0x000000, 0xFFE7B3, 0xF0A300, 0xD28E00,
        0xFFDA95, 0x805600, 0x000000, 0xFFBA2B, 0xFFD277, 0xFFD98A, 0xB77700, 0xA67000, 0x000000,
        0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0xFF8040},
    // csGlossSky (1)
    {0xDDEEFF, 0x6CB6FF, 0x51A8FF, 0xD9ECFF, 0x0059B3, 0x000000, 0xD7EBFF, 0x46A3FF, 0x3E9EFF,
        0xCAE4FF, 0x0059B3, 0x000000, 0x66B3FF, 0x9DCEFF, 0xA8D3FF, 0x3E9EFF, 0x0059B3, 0x000000,
        0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0x53A9FF},
    // csGlossGrass (2)
    {0xE8F9DD, 0x8EDF5E, 0x5CB924, 0xDBF5CB, 0x376F15, 0x000000, 0xD2F2BF, 0x77D83D, 0x59B423,
        0xCBF0B5, 0x3D7917, 0x000000, 0x83DC4E, 0xA6E680, 0xACE789, 0x3E7D17, 0x397416, 0x000000,
        0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0x5CB924},
    // csGlossSilver (3)
    {0xF3F3F3, 0xBCBCBC, 0xA7A7A7, 0xF7F7F7, 0x626262, 0x000000, 0xF0F0F0, 0xA6A6A6, 0xA2A2A2,
        0xEEEEEE, 0x757575, 0x000000, 0xCACACA, 0xDADADA, 0xE9E9E9, 0x7C7C7C, 0x4E4E4E, 0x000000,
        0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0xADADAD},
    // csGlossRose (4)
    {0xFFE8E8, 0xFF9595, 0xFF8282, 0xFFDDDD, 0x9D0000, 0x000000, 0xFFDFDF, 0xFF7777, 0xFF6A6A,
        0xFFD7D7, 0x9D0000, 0x000000, 0xFFA6A6, 0xFFB9B9, 0xFFCECE, 0xFF5E5E, 0x9D0000, 0x000000,
        0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0xFF5E5E},
    // csGlossSun (5)
    {0xFFFFF0, 0xF9D820, 0xBBBB00, 0xFFFFF2, 0x646400, 0x000000, 0xFFFCD5, 0xDCBC05, 0xA6A600,
        0xFFFFCC, 0x646400, 0x000000, 0xF5D105, 0xFBF066, 0xFFF366, 0x848400, 0x646400, 0x000000,
        0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0xBBBB00},
    // csDesert (6)
    {0xFFDD95, NO_COLOUR, 0xE89C00, 0xFFE7B9, 0x805600, 0x000000, 0xFFD06F, NO_COLOUR, 0xD28E00,
        0xFFDA95, 0x805600, 0x000000, 0xFFD06F, NO_COLOUR, 0xFFD98A, 0xB77700, 0xA67000, 0x000000,
        0xE2E2E2, NO_COLOUR, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0xFF8040},
    // csGrass (7)
    {0xB7EB98, NO_COLOUR, 0x5CB924, 0xDBF5CB, 0x376F15, 0x000000, 0x96E168, NO_COLOUR, 0x59B423,
        0xCBF0B5, 0x3D7917, 0x000000, 0x83DC4E, NO_COLOUR, 0xACE789, 0x3E7D17, 0x397416, 0x000000,
        0xE2E2E2, NO_COLOUR, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x21A400},
    // csSky (8)
    {0xC1E0FF, NO_COLOUR, 0x53A9FF, 0xD9ECFF, 0x0059B3, 0x000000, 0x9BCDFF, NO_COLOUR, 0x64B1FF,
        0xCAE4FF, 0x0059B3, 0x000000, 0x82C0FF, NO_COLOUR, 0xA8D3FF, 0x2291FF, 0x0059B3, 0x000000,
        0xE2E2E2, NO_COLOUR, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x149BDC},
    // csSun (9)
    {0xFFFFA8, NO_COLOUR, 0xBBBB00, 0xFFFFF2, 0x646400, 0x000000, 0xFFF366, NO_COLOUR, 0xA6A600,
        0xFFFFCC, 0x646400, 0x000000, 0xFFEE22, NO_COLOUR, 0xFFF366, 0x848400, 0x646400, 0x000000,
        0xE2E2E2, NO_COLOUR, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0xF48C00},
    // csRose (10)
    {0xFFC6C6, NO_COLOUR, 0xFF8282, 0xFFDDDD, 0x9D0000, 0x000000, 0xFFB0B0, NO_COLOUR, 0xFF6A6A,
        0xFFD7D7, 0x9D0000, 0x000000, 0xFF9F9F, NO_COLOUR, 0xFF8888, 0xFF5E5E, 0x9D0000, 0x000000,
        0xE2E2E2, NO_COLOUR, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0xFF5E5E},
    // csSilver (11)
    {0xE0E0E0, NO_COLOUR, 0xAEAEAE, 0xF7F7F7, 0x626262, 0x000000, 0xCFCFCF, NO_COLOUR, 0x797979,
        0xEEEEEE, 0x757575, 0x000000, 0xD3D3D3, NO_COLOUR, 0xE9E9E9, 0x7C7C7C, 0x4E4E4E, 0x000000,
        0xE2E2E2, NO_COLOUR, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x8A8A8A},
};

// Order in which a scheme writes one colour set and GetColorScheme lists it.
constexpr int SET_ORDER[] = {TGradButton::ColorFace, TGradButton::ColorGrad,
    TGradButton::ColorLight, TGradButton::ColorDark, TGradButton::ColorBorder,
    TGradButton::ColorText};
constexpr int SET_SIZE = 6;
constexpr int SET_COUNT = 4;

const char *const LABELS[TGradButton::COLOR_COUNT] = {
    "ColorFace:= ", "ColorGrad:= ", "ColorDark:= ", "ColorLight:= ", "ColorBorder:= ",
    "ColorText:= ", "OverColorFace:= ", "OverColorGrad:= ", "OverColorDark:= ", "OverColorLight:= ",
    "OverColorBorder:= ", "OverColorText:= ", "DownColorFace:= ", "DownColorGrad:= ",
    "DownColorDark:= ", "DownColorLight:= ", "DownColorBorder:= ", "DownColorText:= ",
    "DisabledColorFace:= ", "DisabledColorGrad:= ", "DisabledColorDark:= ", "DisabledColorLight:= ",
    "DisabledColorBorder:= ", "DisabledColorText:= ", "ColorFocusRect:=  "};

struct NamedColour
{
    TColor value;
    const char *name;
};

const NamedColour STANDARD_COLOURS[] = {{0x000000, "clBlack"}, {0x000080, "clMaroon"},
    {0x008000, "clGreen"}, {0x008080, "clOlive"}, {0x800000, "clNavy"}, {0x800080, "clPurple"},
    {0x808000, "clTeal"}, {0x808080, "clGray"}, {0xC0C0C0, "clSilver"}, {0x0000FF, "clRed"},
    {0x00FF00, "clLime"}, {0x00FFFF, "clYellow"}, {0xFF0000, "clBlue"}, {0xFF00FF, "clFuchsia"},
    {0xFFFF00, "clAqua"}, {0xFFFFFF, "clWhite"}};

constexpr TColor FromRgb(std::uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

QColor ToQColor(TColor colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

QString ColourText(TColor colour)
{
    for (const NamedColour &named : STANDARD_COLOURS)
        if (named.value == colour)
            return QString::fromLatin1(named.name);
    return QStringLiteral("$%1").arg(colour, 8, 16, QLatin1Char('0')).toUpper();
}

// A line from (x0, y0) to (x1, y1) without its end point, horizontal or vertical only, set pixel by
// pixel so that no pen rule of the painter can add or drop an end.
void LineTo(QPainter &canvas, int x0, int y0, int x1, int y1, TColor colour)
{
    QRect line;
    if (y0 == y1)
        line = x1 >= x0 ? QRect(x0, y0, x1 - x0, 1) : QRect(x1 + 1, y0, x0 - x1, 1);
    else
        line = y1 >= y0 ? QRect(x0, y0, 1, y1 - y0) : QRect(x0, y1 + 1, 1, y0 - y1);
    if (!line.isEmpty())
        canvas.fillRect(line, ToQColor(colour));
}

// The letter after a single "&"; "&&" stands for the ampersand itself.
QChar Accelerator(const QString &caption)
{
    for (int i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] != QLatin1Char('&'))
            return caption[i + 1];
        ++i;
    }
    return {};
}

int Channel(double value)
{
    // The running value may drift a hair outside 0..255 over many additions.
    return std::clamp(static_cast<int>(std::nearbyint(value)), 0, 255);
}

} // namespace

namespace {

// The button is drawn rather than derived from QAbstractButton, so without this a screen reader
// would announce a plain area that cannot be pressed.
class GradButtonAccessible : public QAccessibleWidget
{
public:
    explicit GradButtonAccessible(TGradButton *button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        const QString text = QAccessibleWidget::text(kind);
        if (kind != QAccessible::Name || !text.isEmpty())
            return text;
        return QString(Button()->Caption()).remove(QLatin1Char('&'));
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &action) override
    {
        if (action == pressAction() && Button()->isEnabled())
            Button()->Click();
    }

private:
    TGradButton *Button() const { return static_cast<TGradButton *>(widget()); }
};

QAccessibleInterface *GradButtonAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TGradButton") && object && object->isWidgetType())
        return new GradButtonAccessible(static_cast<TGradButton *>(object));
    return nullptr;
}

} // namespace

TGradButton::TGradButton(QWidget *owner)
    : QWidget(owner)
{
    resize(75, 25);
    static const bool accessible = (QAccessible::installFactory(GradButtonAccessibleFactory), true);
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetColorScheme(csGlossDesert);
    // Written past SetColors so that the scheme still reads csGlossDesert.
    FColors[OverColorGrad] = 0xFFFFFF;
    FColors[DownColorGrad] = 0xFFFFFF;
    FColors[DisabledColorGrad] = 0xFFFFFF;
}

void TGradButton::SetColors(int index, TColor colour)
{
    if (index >= 0 && index < COLOR_COUNT)
        FColors[index] = colour;
    SetColorScheme(csCustom);
}

TColor TGradButton::GetColor(int index) const
{
    return index >= 0 && index < COLOR_COUNT ? FColors[index] : 0;
}

void TGradButton::SetColorScheme(TColorScheme scheme)
{
    FColorScheme = scheme;
    if (scheme < csCustom) {
        const std::uint32_t *colours = SCHEMES[scheme];
        for (int set = 0; set < SET_COUNT; ++set)
            for (int index : SET_ORDER)
                if (colours[set * SET_SIZE + index] != NO_COLOUR)
                    SetColors(set * SET_SIZE + index, FromRgb(colours[set * SET_SIZE + index]));
        SetColors(ColorFocusRect, FromRgb(colours[ColorFocusRect]));
        FGradient = scheme < csDesert;
    }
    update();
    FColorScheme = scheme;
}

QStringList TGradButton::GetColorScheme() const
{
    QStringList lines;
    for (int set = 0; set < SET_COUNT; ++set)
        for (int index : SET_ORDER)
            lines << LABELS[set * SET_SIZE + index] + ColourText(FColors[set * SET_SIZE + index])
                    + QLatin1Char(';');
    lines << LABELS[ColorFocusRect] + ColourText(FColors[ColorFocusRect]) + QLatin1Char(';');
    return lines;
}

void TGradButton::SetCaption(const QString &caption)
{
    FCaption = caption;
    update();
}

void TGradButton::SetGlyph(const QImage &glyph)
{
    FGlyph = glyph;
    update();
}

void TGradButton::SetLayout(TButtonLayout layout)
{
    FLayout = layout;
    update();
}

void TGradButton::SetSpacing(int spacing)
{
    FSpacing = spacing;
    update();
}

void TGradButton::SetCtl3D(bool flag)
{
    FCtl3D = flag;
    update();
}

void TGradButton::SetTransparentGlyph(bool flag)
{
    FTransparentGlyph = flag;
    update();
}

void TGradButton::SetGradient(bool flag)
{
    FGradient = flag;
    update();
}

void TGradButton::SetHotTrack(bool flag)
{
    FHotTrack = flag;
    update();
}

void TGradButton::GradientFillRect(QPainter &canvas, const QRect &rect, TColor from, TColor to)
{
    const int n = rect.height();
    if (n < 0)
        return;
    double channels[3];
    double steps[3] = {0, 0, 0};
    for (int c = 0; c < 3; ++c) {
        const int start = (from >> (8 * c)) & 0xFF;
        channels[c] = start;
        if (n > 0)
            steps[c] = (static_cast<int>((to >> (8 * c)) & 0xFF) - start) / static_cast<double>(n);
    }
    for (int i = 0; i <= n; ++i) {
        const QColor colour(Channel(channels[0]), Channel(channels[1]), Channel(channels[2]));
        canvas.fillRect(QRect(rect.left(), rect.top() + i, rect.width(), 1), colour);
        for (int c = 0; c < 3; ++c)
            channels[c] += steps[c];
    }
}

void TGradButton::Click()
{
    QPointer<QDialog> dialog = window() != this ? qobject_cast<QDialog *>(window()) : nullptr;
    if (dialog)
        dialog->setResult(FModalResult);
    FState = bsNormal;
    PaintNow();
    emit clicked();
    // Closing only now lets the click handlers run while the dialog is still open; a handler may
    // also have closed it already or changed its result.
    if (dialog && dialog->isVisible() && dialog->result() != 0)
        dialog->done(dialog->result());
}

bool TGradButton::CanFocus() const
{
    return isVisible() && isEnabled();
}

bool TGradButton::CMDialogKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool plain = !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    if (((enter && FHasFocus) || (key == Qt::Key_Escape && FCancel)) && plain && CanFocus()) {
        Click();
        return true;
    }
    // The default button takes every key the form offers, Escape included, whatever the
    // modifiers; only a hidden or disabled one takes nothing.
    if (FDefault && (enter || key == Qt::Key_Escape) && CanFocus()) {
        Click();
        return true;
    }
    return false;
}

bool TGradButton::CMDialogChar(QChar c)
{
    const QChar accelerator = Accelerator(FCaption);
    if (accelerator.isNull() || accelerator.toCaseFolded() != c.toCaseFolded() || !CanFocus())
        return false;
    Click();
    return true;
}

void TGradButton::PaintNow()
{
    repaint();
}

void TGradButton::paintEvent(QPaintEvent *)
{
    QPainter screen(this);
    screen.drawImage(0, 0, Paint());
    // Where the keyboard is: a dotted ring inside the edges in the focus colour, on the screen
    // only, so that the face drawn for a given state stays the same.
    if (FHasFocus && isEnabled() && width() > 8 && height() > 8) {
        QPen ring(ToQColor(FColors[ColorFocusRect]));
        ring.setStyle(Qt::DotLine);
        screen.setPen(ring);
        screen.drawRect(3, 3, width() - 7, height() - 7);
    }
}

QImage TGradButton::Paint() const
{
    const int w = width();
    const int h = height();
    if (w <= 0 || h <= 0)
        return {};
    QImage image(w, h, QImage::Format_RGB32);
    int set = FState == bsOver ? 1 : FState == bsDown ? 2 : 0;
    if (!isEnabled())
        set = 3;
    const TColor *colours = FColors + set * SET_SIZE;

    image.fill(ToQColor(colours[ColorFace]));
    QPainter canvas(&image);
    if (FGradient)
        GradientFillRect(canvas, QRect(0, 0, w, h), colours[ColorFace], colours[ColorGrad]);

    canvas.setFont(font());
    canvas.setPen(ToQColor(colours[ColorText]));
    const QFontMetrics metrics(font());
    const int tw = metrics.horizontalAdvance(FCaption);
    const int th = metrics.height();
    int tx = (w - tw) / 2;
    int ty = (h - th) / 2;
    if (!FGlyph.isNull())
        PaintGlyph(canvas, tx, ty, tw, th);
    if (FState == bsDown) {
        ++tx;
        ++ty;
    }
    if (!FCaption.isEmpty())
        canvas.drawText(QRect(tx, ty, tw, th),
            Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip | Qt::TextShowMnemonic,
            FCaption);

    const QColor border = ToQColor(colours[ColorBorder]);
    canvas.fillRect(QRect(0, 0, w, 1), border);
    canvas.fillRect(QRect(0, h - 1, w, 1), border);
    canvas.fillRect(QRect(0, 0, 1, h), border);
    canvas.fillRect(QRect(w - 1, 0, 1, h), border);
    if (FCtl3D)
        PaintEdges(canvas, colours);
    return image;
}

// Integer halving here must truncate toward zero with the remainder keeping the dividend's sign,
// which is what C++ "/" and "%" do.
void TGradButton::PaintGlyph(QPainter &canvas, int &tx, int &ty, int tw, int th) const
{
    const int w = width();
    const int h = height();
    const int gw = FGlyph.width();
    const int gh = FGlyph.height();
    const int s = FSpacing;
    const bool captioned = !FCaption.isEmpty();
    int gx = 0;
    int gy = 0;
    switch (FLayout) {
    case blGlyphLeft:
        gx = tx - gw / 2 - (captioned ? s / 2 + s % 2 : 0);
        gy = (h - gh) / 2;
        tx += gw / 2 + (captioned ? s / 2 : 0);
        break;
    case blGlyphRight:
        gx = tx + tw - gw / 2 + (captioned ? s / 2 + s % 2 : 0);
        gy = (h - gh) / 2;
        tx += (-gw) / 2 + (captioned ? (-s) / 2 : 0);
        break;
    case blGlyphTop:
        gx = (w - gw) / 2;
        gy = ty - gh / 2 - gh % 2 - (captioned ? s / 2 + s % 2 : 0);
        ty += gh / 2 + (captioned ? s / 2 : 0);
        break;
    case blGlyphBottom:
        gx = (w - gw) / 2;
        gy = ty + th - gh / 2 + (captioned ? s / 2 + s % 2 : 0);
        ty += (-gh) / 2 + (captioned ? (-s) / 2 : 0);
        break;
    }
    if (FState == bsDown) {
        ++gx;
        ++gy;
    }
    QImage glyph = FGlyph.convertToFormat(QImage::Format_ARGB32);
    if (FTransparentGlyph) {
        const QRgb key = glyph.pixel(0, 0);
        for (int y = 0; y < glyph.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(glyph.scanLine(y));
            for (int x = 0; x < glyph.width(); ++x)
                if (line[x] == key)
                    line[x] = 0;
        }
    }
    canvas.drawImage(gx, gy, glyph);
}

// Light then dark, each a two-segment line whose end points stay undrawn; the dark line is drawn
// last and so owns the top-right corner.
void TGradButton::PaintEdges(QPainter &canvas, const TColor *colours) const
{
    const int w = width();
    const int h = height();
    LineTo(canvas, 1, h - 2, 1, 1, colours[ColorLight]);
    LineTo(canvas, 1, 1, w - 1, 1, colours[ColorLight]);
    LineTo(canvas, w - 2, 1, w - 2, h - 2, colours[ColorDark]);
    LineTo(canvas, w - 2, h - 2, 1, h - 2, colours[ColorDark]);
}

void TGradButton::enterEvent(QEnterEvent *)
{
    MouseEnter();
}

void TGradButton::leaveEvent(QEvent *)
{
    MouseLeave();
}

void TGradButton::MouseEnter()
{
    if (!FHotTrack)
        return;
    FState = FMouseHeld ? bsDown : bsOver;
    PaintNow();
}

void TGradButton::MouseLeave()
{
    FState = bsNormal;
    PaintNow();
}

void TGradButton::mousePressEvent(QMouseEvent *event)
{
    MouseDown(event->button());
}

void TGradButton::MouseDown(Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    FMouseHeld = true;
    pointerInside = true;
    FState = bsDown;
    if (focusPolicy() & Qt::ClickFocus)
        setFocus(Qt::MouseFocusReason);
    PaintNow();
}

// The toolkit sends the second press of a double-click as a double-click of its own; taken as a
// press, it would click the button a second time.
void TGradButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

// While the mouse button is held the toolkit keeps the pointer's enter and leave events back until
// the release, so dragging off and on again is followed here.
void TGradButton::mouseMoveEvent(QMouseEvent *event)
{
    QWidget::mouseMoveEvent(event);
    if (!FMouseHeld)
        return;
    const bool inside = rect().contains(event->position().toPoint());
    if (inside == pointerInside)
        return;
    pointerInside = inside;
    if (inside)
        MouseEnter();
    else
        MouseLeave();
}

void TGradButton::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    // A click needs the press and the release on the button; it comes before the release's own
    // handling, so a hot-tracking button ends over, not normal.
    if (event->button() == Qt::LeftButton && FMouseHeld && rect().contains(at)) {
        QPointer<TGradButton> alive(this);
        Click();
        if (!alive)
            return;
    }
    MouseUp(at.x(), at.y());
}

void TGradButton::MouseUp(int x, int y)
{
    FMouseHeld = false;
    if (x > 0 && x < width() && y > 0 && y < height())
        FState = FHotTrack ? bsOver : bsNormal;
    PaintNow();
}

void TGradButton::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
        FState = bsDown;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        QPointer<TGradButton> alive(this);
        Click();
        if (!alive)
            return;
        break;
    }
    default:
        // Left to the form, which offers Escape, Enter and accelerators to its buttons.
        event->ignore();
        return;
    }
    PaintNow();
}

void TGradButton::keyReleaseEvent(QKeyEvent *event)
{
    // Held Space repeats as release-press pairs; only the real release clicks.
    if (event->key() != Qt::Key_Space || event->isAutoRepeat()) {
        event->ignore();
        return;
    }
    FState = bsNormal;
    PaintNow();
    Click();
}

void TGradButton::focusInEvent(QFocusEvent *)
{
    FHasFocus = true;
    PaintNow();
}

void TGradButton::focusOutEvent(QFocusEvent *)
{
    FHasFocus = false;
    FState = bsNormal;
    PaintNow();
}

void TGradButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}
