#include "controls/Grad_button.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPainter>
#include <QtTest>

#include "controls/Dialog_keys.h"

namespace {

using B = TGradButton;

TColor PixelAt(const QImage &image, int x, int y)
{
    const QRgb rgb = image.pixel(x, y);
    return static_cast<TColor>(qRed(rgb) | qGreen(rgb) << 8 | qBlue(rgb) << 16);
}

QImage Render(TGradButton &button)
{
    return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

constexpr TColor WHITE = 0xFFFFFF;
constexpr TColor MARKER = 0xFF0000; // pure blue, which no black caption produces
constexpr TColor KEY = 0x00FF00;

// A glyph that draws nothing but one marker pixel at (1, 1): its top-left colour is transparent.
QImage MarkerGlyph(int w, int h)
{
    QImage glyph(w, h, QImage::Format_RGB32);
    glyph.fill(QColor(0, 255, 0));
    glyph.setPixel(1, 1, qRgb(0, 0, 255));
    return glyph;
}

// Every set white with black text, no edge, no gradient: only glyph and caption leave a mark.
void MakePlain(TGradButton &button)
{
    for (int set = 0; set < 4; ++set) {
        for (int slot = 0; slot < 5; ++slot)
            button.SetColors(set * 6 + slot, WHITE);
        button.SetColors(set * 6 + B::ColorText, 0x000000);
    }
    button.SetGradient(false);
    button.SetCtl3D(false);
}

QPoint FindMarker(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (PixelAt(image, x, y) == MARKER)
                return {x, y};
    return {-100, -100};
}

// Top-left corner of everything that is neither background nor marker: the caption's ink.
QPoint CaptionCorner(const QImage &image)
{
    QPoint corner(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const TColor c = PixelAt(image, x, y);
            if (c != WHITE && c != MARKER) {
                corner.setX(std::min(corner.x(), x));
                corner.setY(std::min(corner.y(), y));
            }
        }
    return corner;
}

void Press(TGradButton &button, QPoint at = {10, 10})
{
    QTest::mousePress(&button, Qt::LeftButton, {}, at);
}

} // namespace

class Grad_buttonTest : public QObject
{
    Q_OBJECT
private slots:
    void constructorDefaults();
    void schemes_data();
    void schemes();
    void singleColourWrite_data();
    void singleColourWrite();
    void colourSchemeText_data();
    void colourSchemeText();
    void gradientFill_data();
    void gradientFill();
    void gradientFace();
    void frame_data();
    void frame();
    void disabledLook_data();
    void disabledLook();
    void glyphPlacement_data();
    void glyphPlacement();
    void shifts_data();
    void shifts();
    void states_data();
    void states();
    void dialogKeys_data();
    void dialogKeys();
    void modalResult_data();
    void modalResult();
};

void Grad_buttonTest::constructorDefaults()
{
    TGradButton button;
    QCOMPARE(button.size(), QSize(75, 25));
    QCOMPARE(button.GetScheme(), csGlossDesert);
    QVERIFY(button.Gradient());
    QCOMPARE(button.GetColor(B::ColorFace), TColor(0xC6ECFF));
    QCOMPARE(button.GetColor(B::ColorGrad), TColor(0x37BEFF));
    for (int index : {B::OverColorGrad, B::DownColorGrad, B::DisabledColorGrad})
        QCOMPARE(button.GetColor(index), WHITE);
    QCOMPARE(button.focusPolicy(), Qt::StrongFocus);
    QVERIFY(button.Ctl3D() && button.TransparentGlyph() && button.HotTrack());
    QCOMPARE(button.Spacing(), 4);
    QCOMPARE(button.Layout(), blGlyphLeft);
    QCOMPARE(button.State(), bsNormal);
    QVERIFY(button.Glyph().isNull());
}

void Grad_buttonTest::schemes_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<int>("index");
    QTest::addColumn<TColor>("expected");
    QTest::addColumn<bool>("gradient");
    // Each row first writes 0x123456 into the colour, then applies the scheme.
    QTest::newRow("gloss sky face")
        << int(csGlossSky) << int(B::ColorFace) << TColor(0xFFEEDD) << true;
    QTest::newRow("gloss sun disabled grad")
        << int(csGlossSun) << int(B::DisabledColorGrad) << WHITE << true;
    QTest::newRow("gloss rose pressed light")
        << int(csGlossRose) << int(B::DownColorLight) << TColor(0x5E5EFF) << true;
    QTest::newRow("gloss grass over grad")
        << int(csGlossGrass) << int(B::OverColorGrad) << TColor(0x3DD877) << true;
    QTest::newRow("sky over dark")
        << int(csSky) << int(B::OverColorDark) << TColor(0xFFB164) << false;
    QTest::newRow("silver pressed light")
        << int(csSilver) << int(B::DownColorLight) << TColor(0x7C7C7C) << false;
    QTest::newRow("sun focus") << int(csSun) << int(B::ColorFocusRect) << TColor(0x008CF4) << false;
    QTest::newRow("desert keeps grad")
        << int(csDesert) << int(B::ColorGrad) << TColor(0x123456) << false;
    QTest::newRow("silver keeps disabled grad")
        << int(csSilver) << int(B::DisabledColorGrad) << TColor(0x123456) << false;
    QTest::newRow("custom keeps everything")
        << int(csCustom) << int(B::ColorText) << TColor(0x123456) << true;
}

void Grad_buttonTest::schemes()
{
    QFETCH(int, scheme);
    QFETCH(int, index);
    QFETCH(TColor, expected);
    QFETCH(bool, gradient);
    TGradButton button;
    button.SetColors(index, 0x123456);
    button.SetColorScheme(TColorScheme(scheme));
    QCOMPARE(button.GetColor(index), expected);
    QCOMPARE(button.Gradient(), gradient);
    QCOMPARE(int(button.GetScheme()), scheme);
}

void Grad_buttonTest::singleColourWrite_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("stored");
    QTest::newRow("first") << 0 << true;
    QTest::newRow("focus colour") << 24 << true;
    QTest::newRow("past the end") << 25 << false;
    QTest::newRow("negative") << -1 << false;
}

void Grad_buttonTest::singleColourWrite()
{
    QFETCH(int, index);
    QFETCH(bool, stored);
    TGradButton button;
    const QStringList before = button.GetColorScheme();
    button.SetColors(index, 0x0A0B0C);
    QCOMPARE(button.GetScheme(), csCustom);
    QCOMPARE(button.GetColor(index), stored ? TColor(0x0A0B0C) : TColor(0));
    if (!stored)
        QCOMPARE(button.GetColorScheme(), before);
    button.SetColorScheme(csGlossDesert);
    QCOMPARE(button.GetScheme(), csGlossDesert);
    if (stored)
        QVERIFY(button.GetColor(index) != 0x0A0B0C);
}

void Grad_buttonTest::colourSchemeText_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<TColor>("colour");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");
    // index -1 leaves the constructor's colours.
    QTest::newRow("face in hex") << -1 << TColor(0) << 0 << QString("ColorFace:= $00C6ECFF;");
    QTest::newRow("light before dark")
        << -1 << TColor(0) << 2 << QString("ColorLight:= $00B9E7FF;");
    QTest::newRow("black text by name") << -1 << TColor(0) << 5 << QString("ColorText:= clBlack;");
    QTest::newRow("over grad white") << -1 << TColor(0) << 7 << QString("OverColorGrad:= clWhite;");
    QTest::newRow("disabled border gray")
        << -1 << TColor(0) << 22 << QString("DisabledColorBorder:= clGray;");
    QTest::newRow("focus with two blanks")
        << -1 << TColor(0) << 24 << QString("ColorFocusRect:=  $004080FF;");
    QTest::newRow("red is low byte")
        << int(B::ColorFace) << TColor(0x0000FF) << 0 << QString("ColorFace:= clRed;");
    QTest::newRow("navy is high byte")
        << int(B::DownColorDark) << TColor(0x800000) << 15 << QString("DownColorDark:= clNavy;");
    QTest::newRow("near silver is hex")
        << int(B::ColorDark) << TColor(0xC0C0C1) << 3 << QString("ColorDark:= $00C0C0C1;");
}

void Grad_buttonTest::colourSchemeText()
{
    QFETCH(int, index);
    QFETCH(TColor, colour);
    QFETCH(int, line);
    QFETCH(QString, text);
    TGradButton button;
    if (index >= 0)
        button.SetColors(index, colour);
    const QStringList lines = button.GetColorScheme();
    QCOMPARE(lines.size(), 25);
    QCOMPARE(lines[line], text);
}

void Grad_buttonTest::gradientFill_data()
{
    QTest::addColumn<TColor>("from");
    QTest::addColumn<TColor>("to");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("row");
    QTest::addColumn<TColor>("expected");
    // The image starts white; rows outside height + 1 stay so.
    QTest::newRow("top row is from")
        << TColor(0x0032FA) << TColor(0) << 25 << 0 << TColor(0x0032FA);
    QTest::newRow("row 24 of 25 one step short")
        << TColor(0) << TColor(0x0032FA) << 25 << 24 << TColor(0x0030F0);
    QTest::newRow("row below the rectangle is to")
        << TColor(0) << TColor(0x0032FA) << 25 << 25 << TColor(0x0032FA);
    QTest::newRow("nothing after height + 1 rows")
        << TColor(0) << TColor(0x0032FA) << 25 << 26 << WHITE;
    QTest::newRow("half rounds to even 0") << TColor(0) << TColor(1) << 2 << 1 << TColor(0);
    QTest::newRow("one and a half rounds to 2") << TColor(0) << TColor(3) << 2 << 1 << TColor(2);
    QTest::newRow("falling channel") << TColor(0xFF0000) << TColor(0) << 5 << 2 << TColor(0x990000);
    QTest::newRow("zero height draws from")
        << TColor(0x123456) << TColor(0) << 0 << 0 << TColor(0x123456);
    QTest::newRow("zero height draws one row") << TColor(0x123456) << TColor(0) << 0 << 1 << WHITE;
    QTest::newRow("negative height draws nothing")
        << TColor(0x123456) << TColor(0) << -3 << 0 << WHITE;
}

void Grad_buttonTest::gradientFill()
{
    QFETCH(TColor, from);
    QFETCH(TColor, to);
    QFETCH(int, height);
    QFETCH(int, row);
    QFETCH(TColor, expected);
    QImage image(4, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter canvas(&image);
        TGradButton::GradientFillRect(canvas, QRect(1, 0, 2, height), from, to);
    }
    QCOMPARE(PixelAt(image, 1, row), expected);
    QCOMPARE(PixelAt(image, 2, row), expected);
    // The rectangle's right edge is excluded, as is everything left of it.
    QCOMPARE(PixelAt(image, 0, row), WHITE);
    QCOMPARE(PixelAt(image, 3, row), WHITE);
}

void Grad_buttonTest::gradientFace()
{
    TGradButton button;
    button.SetCtl3D(false);
    button.SetColors(B::ColorFace, 0);
    button.SetColors(B::ColorGrad, 0x0032FA);
    button.SetGradient(true);
    const QImage image = Render(button);
    for (int row = 1; row < 24; ++row)
        QCOMPARE(PixelAt(image, 37, row), TColor(row * 10 | (row * 2) << 8));
}

void Grad_buttonTest::frame_data()
{
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("ctl3D");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("slot");
    const struct
    {
        const char *name;
        QPoint at;
        int slot;
    } pixels[] = {
        {"top-left corner", {0, 0}, B::ColorBorder},
        {"bottom-right corner", {74, 24}, B::ColorBorder},
        {"left column", {0, 12}, B::ColorBorder},
        {"right column", {74, 12}, B::ColorBorder},
        {"top row", {37, 0}, B::ColorBorder},
        {"bottom row", {37, 24}, B::ColorBorder},
        {"light corner", {1, 1}, B::ColorLight},
        {"light left end", {1, 23}, B::ColorLight},
        {"light top", {37, 1}, B::ColorLight},
        {"dark takes top-right", {73, 1}, B::ColorDark},
        {"dark right", {73, 12}, B::ColorDark},
        {"dark bottom-right", {73, 23}, B::ColorDark},
        {"dark bottom end", {2, 23}, B::ColorDark},
        {"inside", {2, 2}, B::ColorFace},
        {"inside bottom-right", {72, 22}, B::ColorFace},
    };
    for (bool pressed : {false, true})
        for (const auto &p : pixels)
            QTest::addRow("%s %s", pressed ? "pressed" : "normal", p.name)
                << pressed << true << p.at << p.slot;
    QTest::newRow("flat corner") << false << false << QPoint(1, 1) << int(B::ColorFace);
    QTest::newRow("flat dark side") << false << false << QPoint(73, 12) << int(B::ColorFace);
    QTest::newRow("flat border") << false << false << QPoint(74, 12) << int(B::ColorBorder);
}

void Grad_buttonTest::frame()
{
    QFETCH(bool, pressed);
    QFETCH(bool, ctl3D);
    QFETCH(QPoint, at);
    QFETCH(int, slot);
    TGradButton button;
    for (int i = 0; i < B::COLOR_COUNT; ++i)
        button.SetColors(i, 0x102030 + 0x050505 * i);
    button.SetGradient(false);
    button.SetCtl3D(ctl3D);
    if (pressed)
        Press(button);
    QCOMPARE(button.State(), pressed ? bsDown : bsNormal);
    QCOMPARE(PixelAt(Render(button), at.x(), at.y()), button.GetColor((pressed ? 12 : 0) + slot));
}

void Grad_buttonTest::disabledLook_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("normal") << QString("normal");
    QTest::newRow("hovered") << QString("hovered");
    QTest::newRow("pressed") << QString("pressed");
}

void Grad_buttonTest::disabledLook()
{
    QFETCH(QString, state);
    TGradButton button;
    button.SetColorScheme(csSilver);
    if (state == "hovered") {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&button, &enter);
    } else if (state == "pressed") {
        Press(button);
    }
    button.setEnabled(false);
    QCOMPARE(button.State(), state == "hovered" ? bsOver : state == "pressed" ? bsDown : bsNormal);
    const QImage image = Render(button);
    QCOMPARE(PixelAt(image, 5, 12), button.GetColor(B::DisabledColorFace));
    QCOMPARE(PixelAt(image, 0, 12), button.GetColor(B::DisabledColorBorder));
    QCOMPARE(PixelAt(image, 1, 12), button.GetColor(B::DisabledColorLight));
    QCOMPARE(PixelAt(image, 73, 12), button.GetColor(B::DisabledColorDark));
}

void Grad_buttonTest::glyphPlacement_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("glyph");
    QTest::addColumn<int>("layout");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<QPoint>("expected");
    // No caption: Spacing must not move the glyph; -1 in expected.y marks rows that depend on the
    // font's height (top and bottom layouts) and are checked against it.
    QTest::newRow("section header")
        << QSize(40, 30) << QSize(20, 25) << int(blGlyphLeft) << false << QPoint(10, 2);
    QTest::newRow("section header pressed")
        << QSize(40, 30) << QSize(20, 25) << int(blGlyphLeft) << true << QPoint(11, 3);
    QTest::newRow("odd sizes left")
        << QSize(41, 31) << QSize(7, 9) << int(blGlyphLeft) << false << QPoint(17, 11);
    QTest::newRow("odd sizes right")
        << QSize(41, 31) << QSize(7, 9) << int(blGlyphRight) << false << QPoint(17, 11);
    QTest::newRow("glyph wider than button")
        << QSize(20, 20) << QSize(16, 4) << int(blGlyphLeft) << false << QPoint(2, 8);
    QTest::newRow("top") << QSize(41, 31) << QSize(7, 9) << int(blGlyphTop) << false
                         << QPoint(17, -1);
    QTest::newRow("bottom") << QSize(41, 31) << QSize(7, 9) << int(blGlyphBottom) << false
                            << QPoint(17, -1);
}

void Grad_buttonTest::glyphPlacement()
{
    QFETCH(QSize, size);
    QFETCH(QSize, glyph);
    QFETCH(int, layout);
    QFETCH(bool, pressed);
    QFETCH(QPoint, expected);
    TGradButton button;
    MakePlain(button);
    button.resize(size);
    button.SetGlyph(MarkerGlyph(glyph.width(), glyph.height()));
    button.SetLayout(TButtonLayout(layout));
    button.SetSpacing(5);
    if (pressed)
        Press(button);
    if (expected.y() < 0) {
        const int ty = (size.height() - QFontMetrics(button.font()).height()) / 2;
        const int gh = glyph.height();
        expected.setY(layout == blGlyphTop ? ty - gh / 2 - gh % 2
                                           : ty + QFontMetrics(button.font()).height() - gh / 2);
    }
    const QImage image = Render(button);
    QCOMPARE(FindMarker(image), expected + QPoint(1, 1));
    // The key colour is transparent, so the glyph's corner shows the face.
    if (expected.x() >= 0)
        QCOMPARE(PixelAt(image, expected.x(), expected.y()), WHITE);
}

void Grad_buttonTest::shifts_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<QPoint>("glyphMove");
    QTest::addColumn<QPoint>("captionMove");
    // Moves against the same button with spacing 0, not pressed, caption "Wg".
    QTest::newRow("left 4") << int(blGlyphLeft) << 4 << false << QPoint(-2, 0) << QPoint(2, 0);
    QTest::newRow("left 5") << int(blGlyphLeft) << 5 << false << QPoint(-3, 0) << QPoint(2, 0);
    QTest::newRow("left -3 truncates")
        << int(blGlyphLeft) << -3 << false << QPoint(2, 0) << QPoint(-1, 0);
    QTest::newRow("right 4") << int(blGlyphRight) << 4 << false << QPoint(2, 0) << QPoint(-2, 0);
    QTest::newRow("right 5") << int(blGlyphRight) << 5 << false << QPoint(3, 0) << QPoint(-2, 0);
    QTest::newRow("top 5") << int(blGlyphTop) << 5 << false << QPoint(0, -3) << QPoint(0, 2);
    QTest::newRow("bottom 4") << int(blGlyphBottom) << 4 << false << QPoint(0, 2) << QPoint(0, -2);
    QTest::newRow("pressed") << int(blGlyphLeft) << 0 << true << QPoint(1, 1) << QPoint(1, 1);
    QTest::newRow("pressed right 5")
        << int(blGlyphRight) << 5 << true << QPoint(4, 1) << QPoint(-1, 1);
}

void Grad_buttonTest::shifts()
{
    QFETCH(int, layout);
    QFETCH(int, spacing);
    QFETCH(bool, pressed);
    QFETCH(QPoint, glyphMove);
    QFETCH(QPoint, captionMove);
    auto draw = [layout](int s, bool down) {
        TGradButton button;
        MakePlain(button);
        button.resize(90, 60);
        button.SetCaption(QStringLiteral("Wg"));
        button.SetGlyph(MarkerGlyph(6, 6));
        button.SetLayout(TButtonLayout(layout));
        button.SetSpacing(s);
        if (down)
            Press(button);
        return Render(button);
    };
    const QImage base = draw(0, false);
    const QImage moved = draw(spacing, pressed);
    QCOMPARE(FindMarker(moved) - FindMarker(base), glyphMove);
    QCOMPARE(CaptionCorner(moved) - CaptionCorner(base), captionMove);
}

void Grad_buttonTest::states_data()
{
    QTest::addColumn<bool>("hotTrack");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("clicks");
    QTest::newRow("hover") << true << "enter" << int(bsOver) << 0;
    QTest::newRow("hover without hot track") << false << "enter" << int(bsNormal) << 0;
    QTest::newRow("leave") << true << "enter leave" << int(bsNormal) << 0;
    QTest::newRow("press") << true << "press" << int(bsDown) << 0;
    QTest::newRow("back in while held") << true << "press leave enter" << int(bsDown) << 0;
    QTest::newRow("click hot") << true << "press release:10:10" << int(bsOver) << 1;
    QTest::newRow("click not hot") << false << "press release:10:10" << int(bsNormal) << 1;
    QTest::newRow("release on column 0") << true << "press release:0:10" << int(bsNormal) << 1;
    QTest::newRow("release on row 0") << true << "press release:10:0" << int(bsNormal) << 1;
    QTest::newRow("release outside") << true << "press release:80:10" << int(bsDown) << 0;
    QTest::newRow("right button") << true << "rpress" << int(bsNormal) << 0;
    QTest::newRow("right button up inside") << true << "press rrelease:10:10" << int(bsOver) << 0;
    QTest::newRow("space down") << true << "space" << int(bsDown) << 0;
    QTest::newRow("space up") << true << "space spaceup" << int(bsNormal) << 1;
    QTest::newRow("auto-repeat up") << true << "space repeatup" << int(bsDown) << 0;
    QTest::newRow("enter key") << true << "press return" << int(bsNormal) << 1;
    QTest::newRow("focus lost") << true << "press focusout" << int(bsNormal) << 0;
    QTest::newRow("double-click clicks once")
        << true << "press release:10:10 dblclick release:10:10" << int(bsOver) << 1;
    QTest::newRow("drag off looks normal") << true << "press move:80:10" << int(bsNormal) << 0;
    QTest::newRow("drag back looks pressed")
        << true << "press move:80:10 move:10:10" << int(bsDown) << 0;
    QTest::newRow("drag back without hot track")
        << false << "press move:80:10 move:10:10" << int(bsNormal) << 0;
    QTest::newRow("drag off and release there")
        << true << "press move:10:-5 release:10:-5" << int(bsNormal) << 0;
    QTest::newRow("drag back and release")
        << true << "press move:80:10 move:10:10 release:10:10" << int(bsOver) << 1;
    QTest::newRow("disabled ignores clicks")
        << true << "disable press release:10:10" << int(bsNormal) << 0;
    QTest::newRow("disabled ignores keys")
        << true << "disable return space spaceup" << int(bsNormal) << 0;
}

void Grad_buttonTest::states()
{
    QFETCH(bool, hotTrack);
    QFETCH(QString, steps);
    QFETCH(int, state);
    QFETCH(int, clicks);
    TGradButton button;
    button.SetHotTrack(hotTrack);
    int clicked = 0;
    connect(&button, &TGradButton::clicked, [&clicked] { ++clicked; });
    for (const QString &step : steps.split(' ')) {
        const QStringList parts = step.split(':');
        const QPoint at =
            parts.size() == 3 ? QPoint(parts[1].toInt(), parts[2].toInt()) : QPoint(10, 10);
        if (step == "enter") {
            const QPointF where(at);
            QEnterEvent enter(where, where, where);
            QApplication::sendEvent(&button, &enter);
        } else if (step == "leave") {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(&button, &leave);
        } else if (step == "press") {
            Press(button);
        } else if (parts[0] == "move") {
            // Moves with the button held reach the button whether the pointer is over it or not.
            QMouseEvent move(QEvent::MouseMove, QPointF(at), button.mapToGlobal(QPointF(at)),
                Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&button, &move);
        } else if (step == "dblclick") {
            QTest::mouseDClick(&button, Qt::LeftButton, {}, at);
        } else if (parts[0] == "release") {
            QTest::mouseRelease(&button, Qt::LeftButton, {}, at);
        } else if (step == "rpress") {
            QTest::mousePress(&button, Qt::RightButton, {}, at);
        } else if (parts[0] == "rrelease") {
            QTest::mouseRelease(&button, Qt::RightButton, {}, at);
        } else if (step == "space") {
            QTest::keyPress(&button, Qt::Key_Space);
        } else if (step == "spaceup") {
            QTest::keyRelease(&button, Qt::Key_Space);
        } else if (step == "repeatup") {
            QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ", true);
            QApplication::sendEvent(&button, &up);
        } else if (step == "return") {
            QTest::keyClick(&button, Qt::Key_Return);
        } else if (step == "focusout") {
            QFocusEvent out(QEvent::FocusOut);
            QApplication::sendEvent(&button, &out);
        } else if (step == "disable") {
            button.setEnabled(false);
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
    }
    QCOMPARE(int(button.State()), state);
    QCOMPARE(clicked, clicks);
}

void Grad_buttonTest::dialogKeys_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("clicked");
    // Buttons in tab order: ok (default), cancel, apply ("&Apply"); an edit field comes first.
    const int none = Qt::NoModifier;
    QTest::newRow("enter in edit goes to default") << ""
                                                   << "edit" << int(Qt::Key_Return) << none << "ok";
    QTest::newRow("keypad enter too")
        << ""
        << "edit" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "ok";
    QTest::newRow("shifted enter still default")
        << ""
        << "edit" << int(Qt::Key_Return) << int(Qt::ShiftModifier) << "ok";
    QTest::newRow("escape to default clicks it") << ""
                                                 << "edit" << int(Qt::Key_Escape) << none << "ok";
    QTest::newRow("default earlier in tab order wins escape")
        << "cancelflag"
        << "edit" << int(Qt::Key_Escape) << none << "ok";
    QTest::newRow("escape goes to cancel without default")
        << "nodefault cancelflag"
        << "edit" << int(Qt::Key_Escape) << none << "cancel";
    QTest::newRow("shifted escape not taken by cancel")
        << "nodefault cancelflag"
        << "edit" << int(Qt::Key_Escape) << int(Qt::ShiftModifier) << "";
    QTest::newRow("shifted escape still default")
        << ""
        << "edit" << int(Qt::Key_Escape) << int(Qt::ShiftModifier) << "ok";
    QTest::newRow("enter on focused button") << ""
                                             << "apply" << int(Qt::Key_Return) << none << "apply";
    QTest::newRow("disabled default takes nothing") << "okoff"
                                                    << "edit" << int(Qt::Key_Return) << none << "";
    QTest::newRow("hidden default takes nothing") << "okhidden"
                                                  << "edit" << int(Qt::Key_Return) << none << "";
    QTest::newRow("no default, no taker") << "nodefault"
                                          << "edit" << int(Qt::Key_Return) << none << "";
    QTest::newRow("alt accelerator from edit")
        << ""
        << "edit" << int(Qt::Key_A) << int(Qt::AltModifier) << "apply";
    QTest::newRow("plain accelerator on a button") << ""
                                                   << "ok" << int(Qt::Key_A) << none << "apply";
    QTest::newRow("plain letter in edit is typed") << ""
                                                   << "edit" << int(Qt::Key_A) << none << "";
    QTest::newRow("disabled accelerator") << "applyoff"
                                          << "edit" << int(Qt::Key_A) << int(Qt::AltModifier) << "";
}

void Grad_buttonTest::dialogKeys()
{
    const int none = Qt::NoModifier;
    QFETCH(QString, setup);
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, clicked);
    QDialog form;
    form.resize(300, 100);
    auto *edit = new QLineEdit(&form);
    edit->setObjectName("edit");
    QStringList clicks;
    auto makeButton = [&](const char *name, const QString &caption, int x) {
        auto *button = new TGradButton(&form);
        button->setObjectName(name);
        button->SetCaption(caption);
        button->move(x, 50);
        connect(button, &TGradButton::clicked, [&clicks, name] { clicks << name; });
        return button;
    };
    TGradButton *ok = makeButton("ok", "OK", 0);
    TGradButton *cancel = makeButton("cancel", "Cancel", 80);
    TGradButton *apply = makeButton("apply", "&Apply", 160);
    ok->SetDefault(!setup.contains("nodefault"));
    cancel->SetCancel(setup.contains("cancelflag"));
    ok->setEnabled(!setup.contains("okoff"));
    apply->setEnabled(!setup.contains("applyoff"));
    InstallDialogKeys(&form);
    form.show();
    ok->setVisible(!setup.contains("okhidden"));
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto *target = form.findChild<QWidget *>(focus);
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(clicks.join(','), clicked);
    if (focus == "edit" && key == Qt::Key_A && modifiers == none)
        QCOMPARE(edit->text(), QString("a"));
}

void Grad_buttonTest::modalResult_data()
{
    QTest::addColumn<int>("modalResult");
    QTest::addColumn<bool>("openAfter");
    QTest::newRow("zero keeps the dialog open") << 0 << true;
    QTest::newRow("non-zero closes it") << 2 << false;
}

void Grad_buttonTest::modalResult()
{
    QFETCH(int, modalResult);
    QFETCH(bool, openAfter);
    QDialog form;
    auto *button = new TGradButton(&form);
    button->SetModalResult(modalResult);
    form.show();
    form.setResult(7);
    bool openInHandler = false;
    connect(button, &TGradButton::clicked, [&] { openInHandler = form.isVisible(); });
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(openInHandler);
    QCOMPARE(form.result(), modalResult);
    QCOMPARE(form.isVisible(), openAfter);
}

QTEST_MAIN(Grad_buttonTest)
#include "Grad_button_test.moc"
