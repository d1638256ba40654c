#ifndef UI_COLOURS_H
#define UI_COLOURS_H

#include <cstdint>

#include <QColor>
#include <QPalette>

class QWidget;

// Colours are stored as 0x00BBGGRR; a value with the high bit set names a system colour by its
// index in the low byte, which the toolkit's palette stands in for.
struct SystemColour
{
    std::int32_t value;
    QPalette::ColorRole role;
    const char *name;
};

QColor ToQColor(std::int32_t colour);
// The toolkit's classic light palette, whatever the desktop's. Text and selection on the program's
// own fixed light backgrounds take their colours from it: a dark desktop palette would put light
// grey text there.
const QPalette &LightPalette();
// As ToQColor, with system colours taken from LightPalette().
QColor ToQColorOnLight(std::int32_t colour);
// Gives the widget the fixed light background and, for its text and selection, the light
// palette's colours.
void SetLightBackground(QWidget *widget, QRgb background);
std::int32_t FromQColor(const QColor &colour);
// The system colours the program knows, for choosers that offer them by name.
const SystemColour *SystemColours(int &count);

#endif // UI_COLOURS_H
