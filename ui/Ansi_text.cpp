#include "ui/Ansi_text.h"

#include "support/Code_page.h"

QString ToQString(const std::string &ansi)
{
    return QString::fromStdU16String(AnsiToUtf16(ansi));
}

std::string ToAnsi(const QString &text, std::size_t *unmapped)
{
    return Utf16ToAnsi(text.toStdU16String(), unmapped);
}
