#include "storage/Article_markup.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

const std::string LS = "\xE2\x80\xA8"; // a stored line break

// The document in one line per paragraph: (indent,body) when indented, an empty line before one
// set apart; a styled span as letters(text), a link as [text>target], a line break as |.
std::string Describe(const ArticleDocument &document)
{
    static const std::pair<unsigned, char> LETTERS[] = {{SpanStyle::BOLD, 'b'},
        {SpanStyle::ITALIC, 'i'}, {SpanStyle::UNDERLINE, 'u'}, {SpanStyle::STRIKE, 's'},
        {SpanStyle::SUPERSCRIPT, '^'}, {SpanStyle::SUBSCRIPT, '_'}, {SpanStyle::PRONUNCIATION, 'p'},
        {SpanStyle::MONOSPACE, 'm'}};
    std::string out;
    for (const ArticleParagraph &paragraph : document) {
        if (&paragraph != &document.front())
            out += paragraph.blankBefore ? "\n\n" : "\n";
        if (paragraph.indent != 0 || paragraph.bodyIndent != 0)
            out += "(" + std::to_string(paragraph.indent) + ","
                + std::to_string(paragraph.bodyIndent) + ")";
        for (const ArticleSpan &span : paragraph.spans) {
            std::string text = span.text;
            for (char &c : text)
                c = c == '\n' ? '|' : c;
            for (const auto &[bit, letter] : LETTERS)
                if (span.style & bit)
                    out += letter;
            if (!span.link.empty())
                out += "[" + text + ">" + span.link + "]";
            else if (span.style != 0)
                out += "(" + text + ")";
            else
                out += text;
        }
    }
    return out;
}

using Row = std::tuple<const char *, std::string, std::string>;

void Check(ArticleMarkup markup, const std::vector<Row> &rows)
{
    for (const auto &[name, article, expected] : rows)
        EXPECT_EQ(Describe(ParseArticle(article, markup)), expected) << name;
}

} // namespace

TEST(ArticleMarkupTest, WithoutMarkupTheTextStandsAsStored)
{
    Check(ArticleMarkup::None,
        {
            {"tags, braces and blanks untouched", " <b>{x}</b>  \\y\\ ", " <b>{x}</b>  \\y\\ "},
            {"line break stays in the one paragraph", "a" + LS + "b", "a" + LS + "b"},
            {"empty", "", ""},
        });
}

TEST(ArticleMarkupTest, PlainTextKeepsItsLines)
{
    Check(ArticleMarkup::Plain,
        {
            {"each line its own", "one" + LS + "two", "one\ntwo"},
            {"empty line sets apart", "one" + LS + LS + "two", "one\n\ntwo"},
            {"leading blanks are the indent", "one" + LS + "   two", "one\n(3,3)two"},
            {"tab to the next eighth column", "\tx", "(8,8)x"},
            {"markup is text", "<b>{x}</b> \\y\\", "<b>{x}</b> \\y\\"},
            {"empty lines at the ends dropped", LS + LS + "x" + LS, "x"},
        });
}

TEST(ArticleMarkupTest, DictdJoinsWrappedLinesAndKeepsTheRestApart)
{
    const std::string wide = "   1. The skin of an animal, either raw or dressed; -- generally";
    Check(ArticleMarkup::Dictd,
        {
            {"hanging indent joined", wide + LS + "      applied to skins.",
                "(3,6)1. The skin of an animal, either raw or dressed; -- generally applied to "
                "skins."},
            {"next sense apart", wide + LS + "   2. The human skin.",
                "(3,3)1. The skin of an animal, either raw or dressed; -- generally\n(3,3)2. The "
                "human skin."},
            {"wordnet senses apart",
                "    n 1: a dwelling that serves as living quarters for one or more" + LS
                    + "         families" + LS + "    2: an official assembly",
                "(4,9)n 1: a dwelling that serves as living quarters for one or more families\n"
                "(4,4)2: an official assembly"},
            {"empty line sets apart", wide + LS + LS + "      [1913 Webster]",
                "(3,3)1. The skin of an animal, either raw or dressed; -- generally\n\n(6,6)[1913 "
                "Webster]"},
            {"deeper quotation apart", wide + LS + "            Oh, tiger's heart!",
                "(3,3)1. The skin of an animal, either raw or dressed; -- generally\n"
                "(12,12)Oh, tiger's heart!"},
            {"short line was broken on purpose", "Short line." + LS + "Next line.",
                "Short line.\nNext line."},
            {"verse lines of one indent apart",
                "            Oh, tiger's heart wrapped in a woman's hide!" + LS
                    + "            Second line",
                "(12,12)Oh, tiger's heart wrapped in a woman's hide!\n(12,12)Second line"},
            // A zero byte after digits is no sense's "1." (the C string's end would match).
            {"digits and a zero byte joined", wide + LS + "   12" + std::string(1, '\0') + "x",
                "(3,3)1. The skin of an animal, either raw or dressed; -- generally 12"
                    + std::string(1, '\0') + "x"},
            {"paragraph without a sense joined at one indent",
                "   The jargon file is a collection of slang terms used by various" + LS
                    + "   subcultures of computer hackers.",
                "(3,3)The jargon file is a collection of slang terms used by various subcultures "
                "of computer hackers."},
        });
}

TEST(ArticleMarkupTest, DictdLinksAndPronunciations)
{
    Check(ArticleMarkup::Dictd,
        {
            {"link", "See {Hide}.", "See [Hide>Hide]."},
            {"pronunciation", "Hide \\Hide\\, n.", "Hide p(Hide), n."},
            {"synonym list", "[syn: {firm}, {house}]", "[syn: [firm>firm], [house>house]]"},
            {"link across a wrapped line",
                "The skin of an animal, either raw or dressed; generally {to hide" + LS
                    + "one's head} and more",
                "The skin of an animal, either raw or dressed; generally [to hide one's "
                "head>to hide one's head] and more"},
            {"open brace alone is text", "a {b c", "a {b c"},
            {"close brace alone is text", "a} b", "a} b"},
            {"nested braces belong to the outer link", "{a {b} c}", "[a b c>a b c]"},
            {"pronunciation inside a link", "{\\a\\b}", "p[a>ab][b>ab]"},
            {"lone backslash is text", "a \\ b", "a \\ b"},
            {"empty pair is text", "a \\\\ b", "a \\\\ b"},
            {"tags are text", "<b>x</b>", "<b>x</b>"},
        });
}

TEST(ArticleMarkupTest, PangoStylesNestAndUnknownTagsShowTheirText)
{
    Check(ArticleMarkup::Pango,
        {
            {"bold and italic", "<b>bold</b> <i>it</i>", "b(bold) i(it)"},
            {"span weight", "<span weight=\"bold\" foreground=\"red\">x</span>", "b(x)"},
            {"span style", "<span style='italic'>x</span>", "i(x)"},
            {"nested", "<b>a<i>b</i></b>c", "b(a)bi(b)c"},
            {"misnested closes what is inside", "<b>a<i>b</b>c</i>", "b(a)bi(b)c"},
            {"unknown tag dropped, text kept", "<foo bar=1>x</foo>", "x"},
            {"stray closing tag", "a</b>b", "ab"},
            {"unclosed at the end", "<b>x", "b(x)"},
            {"lines kept", "a" + LS + "b" + LS + LS + "c", "a\nb\n\nc"},
            {"entities", "&lt;b&gt; &amp; &#x41;&#66; &bogus; &#0;",
                "<b> & AB &bogus; \xEF\xBF\xBD"},
            {"lone angle bracket", "a < b > c", "a < b > c"},
            {"tag never closed", "a <b c", "a <b c"},
            {"sub and sup", "H<sub>2</sub>O x<sup>2</sup>", "H_(2)O x^(2)"},
        });
}

TEST(ArticleMarkupTest, XdxfHeadwordsPronunciationsAndReferences)
{
    Check(ArticleMarkup::Xdxf,
        {
            {"headword, transcription, reference",
                "<k>house</k>" + LS + "<tr>ha\xCA\x8As</tr> <kref>home</kref>",
                "b(house)\np(ha\xCA\x8As) [home>home]"},
            {"reference target given", "<kref k=\"home\">homes</kref>", "[homes>home]"},
            {"example italic", "<ex>a big house</ex>", "i(a big house)"},
            {"resource left out", "<rref>pic.png</rref>x", "x"},
            {"quotation indented", "a<blockquote>q</blockquote>b", "a\n(4,4)q\nb"},
            {"styles inside a reference", "<kref><b>ho</b>me</kref>", "b[ho>home][me>home]"},
        });
}

TEST(ArticleMarkupTest, HtmlKeepsStylesAndLinksAndLoadsNothing)
{
    Check(ArticleMarkup::Html,
        {
            {"line break inside a paragraph", "<b>a</b><br>b", "b(a)|b"},
            {"paragraphs", "<p>one</p><p>two</p>", "one\n\ntwo"},
            {"blanks collapse", "a  " + LS + " \t b", "a b"},
            {"word link", "<a href=\"bword://house\">House</a>", "[House>house]"},
            {"bare word link", "<a href=house>House</a>", "[House>house]"},
            {"web address is no link", "<a href=\"http://example.org/\">x</a>", "x"},
            {"script address is no link", "<a href=\"javascript:alert(1)\">x</a>", "x"},
            {"script left out", "a<script>alert('<b>')</script>b", "ab"},
            {"style left out", "<style>b{color:red}</style>x", "x"},
            {"image of a file left out", "a<img src=\"file:///etc/passwd\">b", "ab"},
            {"remote image left out", "a<img src=\"http://example.org/x.png\"/>b", "ab"},
            {"frame left out", "a<iframe src=\"http://example.org\">c</iframe>b", "ab"},
            {"unknown tag shows its text", "<blink>x</blink>", "x"},
            {"comment and doctype dropped", "<!DOCTYPE html><!-- <b>c</b> -->x", "x"},
            {"list items", "<ul><li>a</li><li>b</li></ul>",
                "(4,4)\xE2\x80\xA2 a\n(4,4)\xE2\x80\xA2 b"},
            {"unclosed link", "<a href=x>y", "[y>x]"},
            {"nested styles", "<i>a<b>b</b></i>", "i(a)bi(b)"},
            {"upper-case tags", "<B>x</B>", "b(x)"},
        });
}

TEST(ArticleMarkupTest, ShownTextSeparatesParagraphsAndLines)
{
    const std::tuple<const char *, ArticleMarkup, std::string, std::string> rows[] = {
        {"paragraphs by line feeds", ArticleMarkup::Plain, "a" + LS + "b", "a\nb"},
        {"line break as stored", ArticleMarkup::Html, "a<br>b", "a" + LS + "b"},
        {"without markup as stored", ArticleMarkup::None, "a" + LS + "b", "a" + LS + "b"},
    };
    for (const auto &[name, markup, article, text] : rows)
        EXPECT_EQ(DocumentText(ParseArticle(article, markup)), text) << name;
}

TEST(ArticleMarkupTest, PlainTextOfTagsIsWhatThePaneShows)
{
    const std::tuple<const char *, ArticleMarkup, std::string, std::string> rows[] = {
        {"paragraphs and breaks as stored ones", ArticleMarkup::Html, "<p>a</p><p>b<br>c</p>",
            "a" + LS + "b" + LS + "c"},
        {"Pango lines", ArticleMarkup::Pango, "<b>a</b>" + LS + "  <i>b</i>", "a" + LS + "b"},
        {"entities decoded", ArticleMarkup::Xdxf, "&lt;&amp;&gt;&quot;&apos;&#x44;&#69;",
            "<&>\"'DE"},
        {"a lone < keeps the rest", ArticleMarkup::Pango, "1 < 2 <b>x</b> 3", "1 < 2 x 3"},
        {"unknown tags give their text", ArticleMarkup::Html, "<blink>x</blink><q a='1'>y</q>",
            "xy"},
        {"dictd as stored", ArticleMarkup::Dictd, "{a} &amp;" + LS + "b", "{a} &amp;" + LS + "b"},
        {"plain as stored", ArticleMarkup::Plain, "<b>a</b>", "<b>a</b>"},
    };
    for (const auto &[name, markup, article, text] : rows)
        EXPECT_EQ(PlainText(article, markup), text) << name;
}

TEST(ArticleMarkupTest, MarkupNamesReadInAnyCase)
{
    const std::tuple<std::string, ArticleMarkup> rows[] = {
        {"", ArticleMarkup::None},
        {"plain", ArticleMarkup::Plain},
        {"DICTD", ArticleMarkup::Dictd},
        {"Pango", ArticleMarkup::Pango},
        {"xdxf", ArticleMarkup::Xdxf},
        {"html", ArticleMarkup::Html},
        {"rtf", ArticleMarkup::Plain},
    };
    for (const auto &[name, markup] : rows)
        EXPECT_EQ(MarkupNamed(name), markup) << name;
}
