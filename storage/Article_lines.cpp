#include "Article_lines.h"

std::string ReplaceLineBreaks(std::string text, std::string_view replacement)
{
    for (std::size_t at = text.find(LINE_BREAK); at != std::string::npos;
         at = text.find(LINE_BREAK, at + replacement.size()))
        text.replace(at, LINE_BREAK.size(), replacement);
    return text;
}
