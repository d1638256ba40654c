#include "Article_markup.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "storage/Article_lines.h"
#include "support/Code_page.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == prefix;
}

// Whether a stored line break starts at text[at]; its first byte tells most places apart
// without a comparison, which a scan of every byte would otherwise make.
bool IsLineBreakAt(std::string_view text, std::size_t at)
{
    return text[at] == LINE_BREAK[0] && text.compare(at, LINE_BREAK.size(), LINE_BREAK) == 0;
}

// The article's lines, split at its stored line breaks.
std::vector<std::string_view> SplitLines(std::string_view article)
{
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = article.find(LINE_BREAK, start);
        if (end == std::string_view::npos) {
            lines.push_back(article.substr(start));
            return lines;
        }
        lines.push_back(article.substr(start, end - start));
        start = end + LINE_BREAK.size();
    }
}

// Columns of the blanks a line starts with (a tab to the next multiple of eight) and where its
// text begins.
int LeadingColumns(std::string_view line, std::size_t &textStart)
{
    int columns = 0;
    textStart = 0;
    for (; textStart < line.size(); ++textStart) {
        if (line[textStart] == ' ')
            ++columns;
        else if (line[textStart] == '\t')
            columns = (columns / 8 + 1) * 8;
        else if (line[textStart] != '\r')
            break;
    }
    return columns;
}

// Collects paragraphs and spans; merging, trimming and dropping empties happen in Finish.
class Builder
{
public:
    // Text in the current paragraph, which starts when there is none.
    void Add(std::string_view text, unsigned style, const std::string &link)
    {
        if (text.empty())
            return;
        if (!open) {
            ArticleParagraph paragraph;
            paragraph.indent = pendingIndent;
            paragraph.bodyIndent = pendingBodyIndent;
            paragraph.blankBefore = pendingBlank && !document.empty();
            document.push_back(std::move(paragraph));
            open = true;
            pendingBlank = false;
        }
        auto &spans = document.back().spans;
        if (!spans.empty() && spans.back().style == style && spans.back().link == link)
            spans.back().text.append(text);
        else
            spans.push_back({std::string(text), style, link});
    }
    void LineBreak(unsigned style, const std::string &link)
    {
        if (open)
            Add("\n", style, link);
    }
    // The next text starts a paragraph indented so; an empty line before it sets it apart.
    void EndParagraph(int indent = 0, int bodyIndent = 0)
    {
        open = false;
        pendingIndent = indent;
        pendingBodyIndent = bodyIndent;
    }
    void EmptyLine() { pendingBlank = true; }
    bool InParagraph() const { return open; }
    // The paragraphs so far, for links that take their target from the text they enclose.
    std::vector<ArticleParagraph> &Paragraphs() { return document; }

    ArticleDocument Finish()
    {
        ArticleDocument out;
        for (ArticleParagraph &paragraph : document) {
            std::vector<ArticleSpan> spans;
            for (ArticleSpan &span : paragraph.spans) {
                if (span.text.empty())
                    continue;
                if (!spans.empty() && spans.back().style == span.style
                    && spans.back().link == span.link)
                    spans.back().text += span.text;
                else
                    spans.push_back(std::move(span));
            }
            // No blanks or line breaks at either end of a paragraph.
            while (!spans.empty()) {
                std::string &text = spans.back().text;
                while (!text.empty() && IsBlank(text.back()))
                    text.pop_back();
                if (!text.empty())
                    break;
                spans.pop_back();
            }
            while (!spans.empty()) {
                std::string &text = spans.front().text;
                std::size_t start = 0;
                while (start < text.size() && IsBlank(text[start]))
                    ++start;
                text.erase(0, start);
                if (!text.empty())
                    break;
                spans.erase(spans.begin());
            }
            if (spans.empty())
                continue;
            paragraph.spans = std::move(spans);
            if (out.empty())
                paragraph.blankBefore = false;
            out.push_back(std::move(paragraph));
        }
        return out;
    }

private:
    ArticleDocument document;
    bool open = false;
    bool pendingBlank = false;
    int pendingIndent = 0;
    int pendingBodyIndent = 0;
};

// ---- Plain text -------------------------------------------------------------------------------

// Every stored line is a line of its own; its leading blanks are its indent.
ArticleDocument ParsePlain(std::string_view article)
{
    Builder builder;
    for (const std::string_view line : SplitLines(article)) {
        std::size_t start = 0;
        const int indent = LeadingColumns(line, start);
        builder.EndParagraph(indent, indent);
        if (start == line.size())
            builder.EmptyLine();
        else
            builder.Add(line.substr(start), 0, std::string());
    }
    return builder.Finish();
}

// ---- dictd --------------------------------------------------------------------------------------

struct SourceLine
{
    std::string_view text; // without its leading blanks
    int indent = 0;
};

// A line that starts a sense or a part of speech: "1.", "2:", "(a)", "n 1:", "adj 2:", "--".
bool StartsSense(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])) && i < 4)
        ++i;
    if (i > 0 && i < text.size() && text[i] == ' ')
        ++i;
    else
        i = 0;
    std::size_t digits = i;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    if (digits > i && digits - i <= 3 && digits < text.size()
        && std::string_view(".:)").find(text[digits]) != std::string_view::npos)
        return true;
    if (text.size() >= 3 && text[0] == '(' && text[2] == ')')
        return true;
    return text.compare(0, 2, "--") == 0;
}

std::size_t FirstWordLength(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && !IsBlank(text[i]))
        ++i;
    return i;
}

std::size_t Columns(std::string_view text)
{
    std::size_t count = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

struct DictdParagraph
{
    std::string text;
    int indent = 0;
    int bodyIndent = 0;
    bool blankBefore = false;
};

// dictd servers wrap at 65 columns or a little more; a line the width of the widest one, but never
// narrower than this, had no room for the word that follows it.
constexpr std::size_t WRAP_COLUMNS = 65;
// How much deeper than a sense's first line its next lines may be indented.
constexpr int HANGING_INDENT_MAX = 6;

// A source line continues the one before when the wrapper put it there: both hold text, it starts
// no sense, the one before had no room for its first word, and it is indented as the line before
// (or a little deeper, under the first line of a sense: a hanging indent).
std::vector<DictdParagraph> JoinWrappedLines(std::string_view article)
{
    std::vector<SourceLine> lines;
    std::size_t width = WRAP_COLUMNS;
    for (const std::string_view line : SplitLines(article)) {
        std::size_t start = 0;
        const int indent = LeadingColumns(line, start);
        std::string_view text = line.substr(start);
        while (!text.empty() && IsBlank(text.back()))
            text.remove_suffix(1);
        lines.push_back({text, text.empty() ? 0 : indent});
        width = std::max(width, static_cast<std::size_t>(indent) + Columns(text));
    }
    std::vector<DictdParagraph> paragraphs;
    bool blank = false;
    bool firstLineOnly = false; // the last paragraph holds one line so far
    int lastIndent = 0;
    std::size_t lastColumns = 0;
    for (const SourceLine &line : lines) {
        if (line.text.empty()) {
            blank = true;
            continue;
        }
        const bool fits =
            lastColumns + 1 + Columns(line.text.substr(0, FirstWordLength(line.text))) <= width;
        const bool indented = line.indent == lastIndent
            || (firstLineOnly && line.indent > lastIndent
                && line.indent - lastIndent <= HANGING_INDENT_MAX && !paragraphs.empty()
                && StartsSense(paragraphs.back().text));
        if (!paragraphs.empty() && !blank && !fits && indented && !StartsSense(line.text)) {
            DictdParagraph &paragraph = paragraphs.back();
            paragraph.text += ' ';
            paragraph.text.append(line.text);
            if (firstLineOnly)
                paragraph.bodyIndent = line.indent;
            firstLineOnly = false;
        } else {
            paragraphs.push_back({std::string(line.text), line.indent, line.indent, blank});
            firstLineOnly = true;
        }
        blank = false;
        lastIndent = line.indent;
        lastColumns = static_cast<std::size_t>(line.indent) + Columns(line.text);
    }
    return paragraphs;
}

// {word} is a link to word and \text\ a pronunciation. A brace or backslash without its partner
// in the paragraph is text; braces inside a link belong to it and are not shown.
void AddDictdParagraph(Builder &builder, const DictdParagraph &paragraph)
{
    const std::string &text = paragraph.text;
    std::vector<bool> hidden(text.size(), false);
    std::vector<std::size_t> open;
    std::vector<std::pair<std::size_t, std::size_t>> links; // outermost pairs only
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{') {
            open.push_back(i);
        } else if (text[i] == '}' && !open.empty()) {
            hidden[open.back()] = hidden[i] = true;
            if (open.size() == 1)
                links.emplace_back(open.back(), i);
            open.pop_back();
        }
    }
    std::vector<bool> pronounced(text.size(), false);
    for (std::size_t i = text.find('\\'); i != std::string::npos;) {
        const std::size_t close = text.find('\\', i + 1);
        if (close == std::string::npos)
            break;
        if (close > i + 1) {
            hidden[i] = hidden[close] = true;
            std::fill(pronounced.begin() + static_cast<std::ptrdiff_t>(i),
                pronounced.begin() + static_cast<std::ptrdiff_t>(close), true);
            i = text.find('\\', close + 1);
        } else {
            i = close;
        }
    }
    std::vector<std::string> targets;
    for (const auto &[from, to] : links) {
        std::string target;
        for (std::size_t i = from; i < to; ++i)
            if (!hidden[i] && !(IsBlank(text[i]) && (target.empty() || target.back() == ' ')))
                target += IsBlank(text[i]) ? ' ' : text[i];
        while (!target.empty() && target.back() == ' ')
            target.pop_back();
        targets.push_back(target);
    }
    builder.EndParagraph(paragraph.indent, paragraph.bodyIndent);
    if (paragraph.blankBefore)
        builder.EmptyLine();
    std::size_t link = 0;
    for (std::size_t i = 0; i < text.size();) {
        while (link < links.size() && links[link].second < i)
            ++link;
        const bool inLink = link < links.size() && links[link].first < i && i < links[link].second;
        std::size_t end = i + 1;
        const auto sameRun = [&](std::size_t k) {
            const bool kInLink =
                link < links.size() && links[link].first < k && k < links[link].second;
            return hidden[k] == hidden[i] && pronounced[k] == pronounced[i] && kInLink == inLink;
        };
        while (end < text.size() && sameRun(end))
            ++end;
        if (!hidden[i])
            builder.Add(std::string_view(text).substr(i, end - i),
                pronounced[i] ? SpanStyle::PRONUNCIATION : 0,
                inLink ? targets[link] : std::string());
        i = end;
    }
}

ArticleDocument ParseDictd(std::string_view article)
{
    Builder builder;
    for (const DictdParagraph &paragraph : JoinWrappedLines(article))
        AddDictdParagraph(builder, paragraph);
    return builder.Finish();
}

// ---- Tags: Pango, XDXF, HTML --------------------------------------------------------------------

enum class TagAction
{
    Style, // adds style to what it encloses
    Link, // a word reference; the target is an attribute or the enclosed text
    Block, // its own paragraph
    Indent, // its own paragraph, indented
    Item, // a list item: its own paragraph with a bullet
    Break, // a line break; has no content
    Drop, // it and its content are left out
    Empty // left out; has no content
};

struct TagRule
{
    const char *name;
    TagAction action;
    unsigned style;
};

const TagRule PANGO_TAGS[] = {
    {"b", TagAction::Style, SpanStyle::BOLD},
    {"i", TagAction::Style, SpanStyle::ITALIC},
    {"u", TagAction::Style, SpanStyle::UNDERLINE},
    {"s", TagAction::Style, SpanStyle::STRIKE},
    {"sup", TagAction::Style, SpanStyle::SUPERSCRIPT},
    {"sub", TagAction::Style, SpanStyle::SUBSCRIPT},
    {"tt", TagAction::Style, SpanStyle::MONOSPACE},
    {"big", TagAction::Style, 0},
    {"small", TagAction::Style, 0},
    {"span", TagAction::Style, 0},
};

const TagRule XDXF_TAGS[] = {
    {"k", TagAction::Style, SpanStyle::BOLD},
    {"b", TagAction::Style, SpanStyle::BOLD},
    {"i", TagAction::Style, SpanStyle::ITALIC},
    {"u", TagAction::Style, SpanStyle::UNDERLINE},
    {"sup", TagAction::Style, SpanStyle::SUPERSCRIPT},
    {"sub", TagAction::Style, SpanStyle::SUBSCRIPT},
    {"tt", TagAction::Style, SpanStyle::MONOSPACE},
    {"tr", TagAction::Style, SpanStyle::PRONUNCIATION},
    {"ex", TagAction::Style, SpanStyle::ITALIC},
    {"abr", TagAction::Style, SpanStyle::ITALIC},
    {"abbr", TagAction::Style, SpanStyle::ITALIC},
    {"gr", TagAction::Style, SpanStyle::ITALIC},
    {"co", TagAction::Style, 0},
    {"c", TagAction::Style, 0},
    {"dtrn", TagAction::Style, 0},
    {"opt", TagAction::Style, 0},
    {"kref", TagAction::Link, 0},
    {"def", TagAction::Block, 0},
    {"blockquote", TagAction::Indent, 0},
    {"br", TagAction::Break, 0},
    {"rref", TagAction::Drop, 0},
    {"nu", TagAction::Drop, 0},
};

const TagRule HTML_TAGS[] = {
    {"b", TagAction::Style, SpanStyle::BOLD},
    {"strong", TagAction::Style, SpanStyle::BOLD},
    {"i", TagAction::Style, SpanStyle::ITALIC},
    {"em", TagAction::Style, SpanStyle::ITALIC},
    {"cite", TagAction::Style, SpanStyle::ITALIC},
    {"dfn", TagAction::Style, SpanStyle::ITALIC},
    {"var", TagAction::Style, SpanStyle::ITALIC},
    {"u", TagAction::Style, SpanStyle::UNDERLINE},
    {"ins", TagAction::Style, SpanStyle::UNDERLINE},
    {"s", TagAction::Style, SpanStyle::STRIKE},
    {"strike", TagAction::Style, SpanStyle::STRIKE},
    {"del", TagAction::Style, SpanStyle::STRIKE},
    {"sup", TagAction::Style, SpanStyle::SUPERSCRIPT},
    {"sub", TagAction::Style, SpanStyle::SUBSCRIPT},
    {"tt", TagAction::Style, SpanStyle::MONOSPACE},
    {"code", TagAction::Style, SpanStyle::MONOSPACE},
    {"kbd", TagAction::Style, SpanStyle::MONOSPACE},
    {"samp", TagAction::Style, SpanStyle::MONOSPACE},
    {"a", TagAction::Link, 0},
    {"br", TagAction::Break, 0},
    {"p", TagAction::Block, 0},
    {"div", TagAction::Block, 0},
    {"tr", TagAction::Block, 0},
    {"dt", TagAction::Block, SpanStyle::BOLD},
    {"dd", TagAction::Indent, 0},
    {"h1", TagAction::Block, SpanStyle::BOLD},
    {"h2", TagAction::Block, SpanStyle::BOLD},
    {"h3", TagAction::Block, SpanStyle::BOLD},
    {"h4", TagAction::Block, SpanStyle::BOLD},
    {"h5", TagAction::Block, SpanStyle::BOLD},
    {"h6", TagAction::Block, SpanStyle::BOLD},
    {"hr", TagAction::Block, 0},
    {"table", TagAction::Block, 0},
    {"ul", TagAction::Block, 0},
    {"ol", TagAction::Block, 0},
    {"dl", TagAction::Block, 0},
    {"li", TagAction::Item, 0},
    {"blockquote", TagAction::Indent, 0},
    {"pre", TagAction::Block, SpanStyle::MONOSPACE},
    // What would run, load or ask for input is not shown at all.
    {"script", TagAction::Drop, 0},
    {"style", TagAction::Drop, 0},
    {"head", TagAction::Drop, 0},
    {"title", TagAction::Drop, 0},
    {"object", TagAction::Drop, 0},
    {"iframe", TagAction::Drop, 0},
    {"frameset", TagAction::Drop, 0},
    {"applet", TagAction::Drop, 0},
    {"audio", TagAction::Drop, 0},
    {"video", TagAction::Drop, 0},
    {"svg", TagAction::Drop, 0},
    {"math", TagAction::Drop, 0},
    {"noscript", TagAction::Drop, 0},
    {"template", TagAction::Drop, 0},
    {"select", TagAction::Drop, 0},
    {"textarea", TagAction::Drop, 0},
    {"img", TagAction::Empty, 0},
    {"embed", TagAction::Empty, 0},
    {"input", TagAction::Empty, 0},
    {"link", TagAction::Empty, 0},
    {"meta", TagAction::Empty, 0},
    {"base", TagAction::Empty, 0},
    {"source", TagAction::Empty, 0},
    {"frame", TagAction::Empty, 0},
    {"wbr", TagAction::Empty, 0},
};

struct Tag
{
    std::string name; // in small letters
    bool closing = false;
    bool selfClosing = false;
    std::vector<std::pair<std::string, std::string>> attributes; // names in small letters

    std::optional<std::string> Attribute(const char *wanted) const
    {
        for (const auto &[name, value] : attributes)
            if (name == wanted)
                return value;
        return std::nullopt;
    }
};

void AppendCharacter(std::string &out, unsigned long code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    AppendUtf8(out, static_cast<char32_t>(code));
}

// An entity at text[at] ('&'), decoded onto out; false, and out unchanged, when it is none.
bool DecodeEntity(std::string_view text, std::size_t &at, std::string &out)
{
    static const std::pair<const char *, const char *> NAMED[] = {{"lt", "<"}, {"gt", ">"},
        {"amp", "&"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", "\xC2\xA0"},
        {"mdash", "\xE2\x80\x94"}, {"ndash", "\xE2\x80\x93"}, {"hellip", "\xE2\x80\xA6"},
        {"laquo", "\xC2\xAB"}, {"raquo", "\xC2\xBB"}, {"copy", "\xC2\xA9"}, {"middot", "\xC2\xB7"},
        {"shy", ""}};
    const std::size_t end = text.find(';', at);
    if (end == std::string_view::npos || end - at > 12 || end == at + 1)
        return false;
    const std::string_view name = text.substr(at + 1, end - at - 1);
    if (name[0] == '#') {
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8
            || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789")
                != std::string_view::npos)
            return false;
        AppendCharacter(out, std::stoul(std::string(digits), nullptr, hex ? 16 : 10));
        at = end + 1;
        return true;
    }
    for (const auto &[entity, replacement] : NAMED)
        if (name == entity) {
            out += replacement;
            at = end + 1;
            return true;
        }
    return false;
}

// The tag at text[at] ('<') up to its '>', quoted attribute values read whole; false when what
// starts there is no tag (a '<' of the text itself).
bool ReadTag(std::string_view text, std::size_t &at, Tag &tag)
{
    std::size_t i = at + 1;
    tag = Tag();
    if (i < text.size() && text[i] == '/') {
        tag.closing = true;
        ++i;
    }
    const std::size_t nameStart = i;
    while (i < text.size()
        && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '-' || text[i] == ':'))
        ++i;
    if (i == nameStart || !std::isalpha(static_cast<unsigned char>(text[nameStart])))
        return false;
    tag.name = Lower(text.substr(nameStart, i - nameStart));
    while (i < text.size() && text[i] != '>') {
        if (IsBlank(text[i]) || text[i] == '/') {
            tag.selfClosing = text[i] == '/';
            ++i;
            continue;
        }
        const std::size_t attributeStart = i;
        // A zero byte is none of the three: it belongs to the name, as any other byte does.
        while (i < text.size() && !IsBlank(text[i])
            && std::string_view("=>/").find(text[i]) == std::string_view::npos)
            ++i;
        std::string name = Lower(text.substr(attributeStart, i - attributeStart));
        std::string value;
        if (i < text.size() && text[i] == '=') {
            ++i;
            if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
                const std::size_t close = text.find(text[i], i + 1);
                if (close == std::string_view::npos)
                    return false;
                value = std::string(text.substr(i + 1, close - i - 1));
                i = close + 1;
            } else {
                const std::size_t valueStart = i;
                while (i < text.size() && !IsBlank(text[i]) && text[i] != '>')
                    ++i;
                value = std::string(text.substr(valueStart, i - valueStart));
            }
        }
        tag.selfClosing = false;
        if (!name.empty())
            tag.attributes.emplace_back(std::move(name), std::move(value));
    }
    if (i >= text.size())
        return false;
    at = i + 1;
    return true;
}

// Pango's span attributes that name a style.
unsigned SpanAttributesStyle(const Tag &tag)
{
    unsigned style = 0;
    for (const auto &[name, raw] : tag.attributes) {
        const std::string value = Lower(raw);
        if ((name == "weight" || name == "font_weight")
            && (value == "bold" || value == "heavy" || value == "ultrabold" || value == "semibold"
                || value == "800" || value == "700" || value == "900"))
            style |= SpanStyle::BOLD;
        else if ((name == "style" || name == "font_style")
            && (value == "italic" || value == "oblique"))
            style |= SpanStyle::ITALIC;
        else if (name == "underline" && value != "none")
            style |= SpanStyle::UNDERLINE;
        else if (name == "strikethrough" && value == "true")
            style |= SpanStyle::STRIKE;
        else if ((name == "font_family" || name == "face") && value == "monospace")
            style |= SpanStyle::MONOSPACE;
    }
    return style;
}

// A link's word: StarDict's bword:// references and bare words. Addresses with a scheme
// (http:, file:, javascript:, mailto:...) are no words and are never followed.
std::optional<std::string> LinkWord(const std::string &href)
{
    if (StartsWithNoCase(href, "bword://"))
        return href.substr(8);
    if (href.empty() || href.find(':') != std::string::npos || href[0] == '#' || href[0] == '/')
        return std::nullopt;
    return href;
}

class TagParser
{
public:
    TagParser(ArticleMarkup markup, const TagRule *rulesBegin, const TagRule *rulesEnd)
        : html(markup == ArticleMarkup::Html)
        , xdxf(markup == ArticleMarkup::Xdxf)
        , pango(markup == ArticleMarkup::Pango)
        , rules(rulesBegin)
        , rulesEnd(rulesEnd)
    {
    }

    ArticleDocument Parse(std::string_view text)
    {
        lineStart = true;
        for (std::size_t at = 0; at < text.size();) {
            if (IsLineBreakAt(text, at)) {
                at += LINE_BREAK.size();
                NewLine();
            } else if (text[at] == '<' && text.compare(at, 4, "<!--") == 0) {
                const std::size_t end = text.find("-->", at + 4);
                at = end == std::string_view::npos ? text.size() : end + 3;
            } else if (text[at] == '<' && at + 1 < text.size()
                && (text[at + 1] == '!' || text[at + 1] == '?')) {
                const std::size_t end = text.find('>', at);
                at = end == std::string_view::npos ? text.size() : end + 1;
            } else if (Tag tag; text[at] == '<' && ReadTag(text, at, tag)) {
                HandleTag(tag, text, at);
            } else if (std::string decoded; text[at] == '&' && DecodeEntity(text, at, decoded)) {
                AddText(decoded);
            } else {
                std::size_t end = at + 1;
                while (end < text.size() && text[end] != '<' && text[end] != '&'
                    && !IsLineBreakAt(text, end))
                    ++end;
                AddText(text.substr(at, end - at));
                at = end;
            }
        }
        CloseLinks(0);
        return builder.Finish();
    }

private:
    struct Open
    {
        std::string name;
        unsigned style = 0;
        TagAction action = TagAction::Style;
        std::string link; // a placeholder until the close when the target is the content
        bool linkFromContent = false;
        std::size_t paragraph = 0; // where its content began
        std::size_t span = 0;
        int indent = 0;
    };

    const TagRule *Rule(const std::string &name) const
    {
        // The first letter rules out most names without a comparison.
        for (const TagRule *rule = rules; rule != rulesEnd; ++rule)
            if (!name.empty() && name[0] == rule->name[0] && name == rule->name)
                return rule;
        return nullptr;
    }

    unsigned Style() const
    {
        unsigned style = 0;
        for (const Open &open : stack)
            style |= open.style;
        return style;
    }
    const std::string &Link() const
    {
        for (auto open = stack.rbegin(); open != stack.rend(); ++open)
            if (open->action == TagAction::Link && !open->link.empty())
                return open->link;
        static const std::string none;
        return none;
    }
    int Indent() const
    {
        int indent = 0;
        for (const Open &open : stack)
            indent += open.indent;
        return indent;
    }

    // Outside HTML a stored line break ends the paragraph and an empty line sets the next apart;
    // in HTML it is a blank like any other.
    void NewLine()
    {
        if (html) {
            AddText(" ");
            return;
        }
        if (lineStart)
            builder.EmptyLine();
        builder.EndParagraph(Indent(), Indent());
        lineStart = true;
        lineIndent = 0;
    }

    void AddText(std::string_view text)
    {
        std::string collapsed;
        if (html) {
            collapsed.reserve(text.size());
            bool started = builder.InParagraph();
            for (const char c : text) {
                if (IsBlank(c)) {
                    if (!lastBlank && started)
                        collapsed += ' ';
                    lastBlank = true;
                } else {
                    collapsed += c;
                    lastBlank = false;
                    started = true;
                }
            }
            text = collapsed;
        } else if (lineStart) {
            std::size_t start = 0;
            lineIndent += LeadingColumns(text, start);
            text.remove_prefix(start);
            if (text.empty())
                return;
            builder.EndParagraph(Indent() + lineIndent, Indent() + lineIndent);
        }
        if (text.empty())
            return;
        lineStart = false;
        builder.Add(text, Style(), Link());
    }

    void StartBlock(int indent)
    {
        builder.EndParagraph(indent, indent);
        lastBlank = true;
    }

    void HandleTag(const Tag &tag, std::string_view text, std::size_t &at)
    {
        const TagRule *rule = Rule(tag.name);
        if (!rule)
            return;
        if (tag.closing) {
            Close(tag.name);
            return;
        }
        switch (rule->action) {
        case TagAction::Break:
            if (html)
                builder.LineBreak(Style(), Link());
            else
                NewLine();
            lastBlank = true;
            return;
        case TagAction::Empty:
            if (tag.name == "hr")
                StartBlock(Indent());
            return;
        case TagAction::Drop:
            if (!tag.selfClosing)
                SkipContent(tag.name, text, at);
            return;
        default:
            break;
        }
        if (tag.selfClosing) {
            if (rule->action == TagAction::Block || rule->action == TagAction::Indent)
                StartBlock(Indent());
            return;
        }
        Open open;
        open.name = tag.name;
        open.action = rule->action;
        open.style = rule->style | (pango && tag.name == "span" ? SpanAttributesStyle(tag) : 0);
        if (rule->action == TagAction::Link)
            OpenLink(tag, open);
        if (rule->action == TagAction::Indent || rule->action == TagAction::Item)
            open.indent = 4;
        stack.push_back(std::move(open));
        if (rule->action == TagAction::Block || rule->action == TagAction::Indent
            || rule->action == TagAction::Item) {
            StartBlock(Indent());
            if (rule->action == TagAction::Block && tag.name == "p")
                builder.EmptyLine();
            if (rule->action == TagAction::Item)
                builder.Add("\xE2\x80\xA2 ", Style(), std::string());
        }
    }

    void OpenLink(const Tag &tag, Open &open)
    {
        std::optional<std::string> target;
        if (html) {
            if (const auto href = tag.Attribute("href"))
                target = LinkWord(*href);
            if (!target)
                return;
        } else if (xdxf) {
            target = tag.Attribute("k");
        }
        if (target && !target->empty()) {
            open.link = *target;
            return;
        }
        // The target is the text the link encloses, known at its close.
        open.linkFromContent = true;
        open.link = std::string("\x01") + std::to_string(++placeholders);
        open.paragraph = builder.Paragraphs().size();
        open.span = open.paragraph == 0 ? 0 : builder.Paragraphs().back().spans.size();
        if (!builder.Paragraphs().empty() && builder.InParagraph())
            open.paragraph -= 1;
        else
            open.span = 0;
    }

    // Closes the innermost open element of that name and what was opened inside it; a closing
    // tag with nothing of its name open is ignored.
    void Close(const std::string &name)
    {
        auto found = std::find_if(
            stack.rbegin(), stack.rend(), [&](const Open &open) { return open.name == name; });
        if (found == stack.rend())
            return;
        CloseLinks(static_cast<std::size_t>(stack.rend() - found) - 1);
    }

    void CloseLinks(std::size_t keep)
    {
        while (stack.size() > keep) {
            const Open open = stack.back();
            stack.pop_back();
            if (open.linkFromContent)
                ResolveLink(open);
            if (open.action == TagAction::Block || open.action == TagAction::Indent
                || open.action == TagAction::Item) {
                StartBlock(Indent());
            }
        }
    }

    void ResolveLink(const Open &open)
    {
        auto &paragraphs = builder.Paragraphs();
        std::string target;
        for (std::size_t p = open.paragraph; p < paragraphs.size(); ++p)
            for (std::size_t s = p == open.paragraph ? open.span : 0;
                 s < paragraphs[p].spans.size(); ++s)
                if (paragraphs[p].spans[s].link == open.link)
                    for (const char c : paragraphs[p].spans[s].text)
                        if (!(IsBlank(c) && (target.empty() || target.back() == ' ')))
                            target += IsBlank(c) ? ' ' : c;
        while (!target.empty() && target.back() == ' ')
            target.pop_back();
        for (std::size_t p = open.paragraph; p < paragraphs.size(); ++p)
            for (ArticleSpan &span : paragraphs[p].spans)
                if (span.link == open.link)
                    span.link = target;
    }

    // Past the content of an element that is not shown, to after its closing tag (or the end).
    static void SkipContent(const std::string &name, std::string_view text, std::size_t &at)
    {
        const std::string closing = "</" + name;
        for (std::size_t i = at; i < text.size(); ++i) {
            if (text[i] == '<' && StartsWithNoCase(text.substr(i), closing)) {
                const std::size_t end = text.find('>', i);
                at = end == std::string_view::npos ? text.size() : end + 1;
                return;
            }
        }
        at = text.size();
    }

    Builder builder;
    std::vector<Open> stack;
    bool html;
    bool xdxf;
    bool pango;
    const TagRule *rules;
    const TagRule *rulesEnd;
    bool lineStart = true;
    bool lastBlank = true;
    int lineIndent = 0;
    unsigned placeholders = 0;
};

template <std::size_t N>
ArticleDocument ParseTags(std::string_view article, ArticleMarkup markup, const TagRule (&rules)[N])
{
    return TagParser(markup, rules, rules + N).Parse(article);
}

} // namespace

namespace {

// The attribute's values, read and written through the one table.
constexpr std::pair<ArticleMarkup, const char *> MARKUP_NAMES[] = {{ArticleMarkup::Plain, "plain"},
    {ArticleMarkup::Dictd, "dictd"}, {ArticleMarkup::Pango, "pango"}, {ArticleMarkup::Xdxf, "xdxf"},
    {ArticleMarkup::Html, "html"}};

} // namespace

ArticleMarkup MarkupNamed(const std::string &value)
{
    if (value.empty())
        return ArticleMarkup::None;
    const std::string name = Lower(value);
    for (const auto &[markup, markupName] : MARKUP_NAMES)
        if (name == markupName)
            return markup;
    return ArticleMarkup::Plain;
}

const char *MarkupName(ArticleMarkup markup)
{
    for (const auto &[known, name] : MARKUP_NAMES)
        if (markup == known)
            return name;
    return "";
}

ArticleDocument ParseArticle(std::string_view article, ArticleMarkup markup)
{
    switch (markup) {
    case ArticleMarkup::None:
        break;
    case ArticleMarkup::Plain:
        return ParsePlain(article);
    case ArticleMarkup::Dictd:
        return ParseDictd(article);
    case ArticleMarkup::Pango:
        return ParseTags(article, markup, PANGO_TAGS);
    case ArticleMarkup::Xdxf:
        return ParseTags(article, markup, XDXF_TAGS);
    case ArticleMarkup::Html:
        return ParseTags(article, markup, HTML_TAGS);
    }
    ArticleDocument document;
    if (!article.empty())
        document.push_back({{{std::string(article), 0, std::string()}}, 0, 0, false});
    return document;
}

namespace {

// The document's characters, its paragraphs parted by between and its line breaks stored ones.
std::string JoinedText(const ArticleDocument &document, std::string_view between)
{
    std::string text;
    for (const ArticleParagraph &paragraph : document) {
        if (!text.empty())
            text.append(between);
        for (const ArticleSpan &span : paragraph.spans)
            for (std::size_t start = 0; start < span.text.size();) {
                const std::size_t end = std::min(span.text.find('\n', start), span.text.size());
                text.append(span.text, start, end - start);
                if (end < span.text.size())
                    text.append(LINE_BREAK);
                start = end + 1;
            }
    }
    return text;
}

} // namespace

std::string DocumentText(const ArticleDocument &document)
{
    return JoinedText(document, "\n");
}

bool MarkupHasTags(ArticleMarkup markup)
{
    return markup == ArticleMarkup::Pango || markup == ArticleMarkup::Xdxf
        || markup == ArticleMarkup::Html;
}

std::string PlainText(std::string_view article, ArticleMarkup markup)
{
    if (!MarkupHasTags(markup))
        return std::string(article);
    return JoinedText(ParseArticle(article, markup), LINE_BREAK);
}
