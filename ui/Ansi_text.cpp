#include "ui/Ansi_text.h"

#include "support/Code_page.h"

QString ToQString(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

std::string ToCoreText(const QString &text)
{
    return text.toStdString();
}

int UnitsOfCharacters(const QString &text, int count)
{
    int units = 0;
    for (; count > 0 && units < text.size(); --count)
        units += text.at(units).isHighSurrogate() && units + 1 < text.size()
                && text.at(units + 1).isLowSurrogate()
            ? 2
            : 1;
    return units;
}

QString AnsiToQString(const std::string &ansi)
{
    return QString::fromStdU16String(AnsiToUtf16(ansi));
}

std::string ToAnsi(const QString &text, std::size_t *unmapped)
{
    return Utf16ToAnsi(text.toStdU16String(), unmapped);
}
