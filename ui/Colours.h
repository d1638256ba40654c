#ifndef UI_COLOURS_H
#define UI_COLOURS_H

#include <cstdint>

#include <QColor>
#include <QPalette>

// Colours are stored as 0x00BBGGRR; a value with the high bit set names a system colour by its
// index in the low byte, which the toolkit's palette stands in for.
struct SystemColour
{
    std::int32_t value;
    QPalette::ColorRole role;
    const char *name;
};

QColor ToQColor(std::int32_t colour);
std::int32_t FromQColor(const QColor &colour);
// The system colours the program knows, for choosers that offer them by name.
const SystemColour *SystemColours(int &count);

#endif // UI_COLOURS_H
