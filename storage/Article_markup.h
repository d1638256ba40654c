#ifndef STORAGE_ARTICLE_MARKUP_H
#define STORAGE_ARTICLE_MARKUP_H

#include <string>
#include <string_view>
#include <vector>

// Which markup a dictionary's articles carry, as its attribute file's MARKUP names it.
enum class ArticleMarkup
{
    None, // no MARKUP line: a dictionary made without one, shown exactly as its text stands
    Plain, // text whose line breaks are the author's
    Dictd, // hard-wrapped lines, {links} and \pronunciations\ .
    Pango, // tags such as <b>, <i>, <span weight="bold">
    Xdxf, // tags such as <k>, <kref>, <tr>, <ex>
    Html
};

// "plain", "dictd", "pango", "xdxf", "html" in any letter case; an empty value is None and any
// other value Plain, so that a dictionary from a newer maker still shows its text and lines.
ArticleMarkup MarkupNamed(const std::string &value);
// The value the attribute file holds for markup; empty for None.
const char *MarkupName(ArticleMarkup markup);

namespace SpanStyle {
constexpr unsigned BOLD = 1;
constexpr unsigned ITALIC = 2;
constexpr unsigned UNDERLINE = 4;
constexpr unsigned STRIKE = 8;
constexpr unsigned SUPERSCRIPT = 16;
constexpr unsigned SUBSCRIPT = 32;
constexpr unsigned PRONUNCIATION = 64;
constexpr unsigned MONOSPACE = 128;
} // namespace SpanStyle

// A run of text in one style. Its text is UTF-8 without markup; '\n' breaks the line without
// starting a paragraph.
struct ArticleSpan
{
    std::string text;
    unsigned style = 0; // SpanStyle bits
    std::string link; // the word a click on the span looks up; empty when it is no link

    bool operator==(const ArticleSpan &other) const
    {
        return text == other.text && style == other.style && link == other.link;
    }
};

struct ArticleParagraph
{
    std::vector<ArticleSpan> spans;
    int indent = 0; // columns before the first line
    int bodyIndent = 0; // columns before the lines after it
    bool blankBefore = false; // set apart from the paragraph before by an empty line
};

// Paragraphs in reading order; no paragraph is empty.
using ArticleDocument = std::vector<ArticleParagraph>;

// The article as its author laid it out. Markup that is not understood never shows as tags: an
// unknown tag is dropped and its content kept, a brace or backslash without its partner is text.
// Nothing here fetches anything: pictures, sounds and scripts are left out. With None the
// article is one paragraph holding the text unchanged.
ArticleDocument ParseArticle(std::string_view article, ArticleMarkup markup);

// The characters a reader sees, paragraphs separated by '\n' and a line break inside one as
// U+2028: what a phrase is found in and where a double-click picks its word.
std::string DocumentText(const ArticleDocument &document);

// Whether the markup is tags (Pango, XDXF, HTML), which no reader should see.
bool MarkupHasTags(ArticleMarkup markup);

// The article as text for what shows no styles (the console's answers, the search inside
// articles): an article of tags reads as the pane shows it, its paragraphs and line breaks both
// as stored line breaks and its entities decoded; any other article reads as stored, so that the
// console answers as it always has.
std::string PlainText(std::string_view article, ArticleMarkup markup);

#endif // STORAGE_ARTICLE_MARKUP_H
