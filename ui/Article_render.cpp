#include "ui/Article_render.h"

#include <QFontMetricsF>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QUrl>

#include "ui/Ansi_text.h"

namespace {

const QString WORD_LINK = QStringLiteral("word:");

// Pronunciations stand apart from the text around them, whatever the article font's colour.
const QColor PRONUNCIATION_COLOUR(128, 0, 0);
const QColor LINK_COLOUR(0, 0, 192);

QTextCharFormat SpanFormat(const ArticleSpan &span, const QTextCharFormat &base)
{
    QTextCharFormat format = base;
    if (span.style & SpanStyle::BOLD)
        format.setFontWeight(QFont::Bold);
    if (span.style & SpanStyle::ITALIC)
        format.setFontItalic(true);
    if (span.style & SpanStyle::UNDERLINE)
        format.setFontUnderline(true);
    if (span.style & SpanStyle::STRIKE)
        format.setFontStrikeOut(true);
    if (span.style & SpanStyle::SUPERSCRIPT)
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    if (span.style & SpanStyle::SUBSCRIPT)
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (span.style & SpanStyle::MONOSPACE)
        format.setFontFamilies({QStringLiteral("monospace")});
    if (span.style & SpanStyle::PRONUNCIATION)
        format.setForeground(PRONUNCIATION_COLOUR);
    if (!span.link.empty()) {
        format.setAnchor(true);
        format.setAnchorHref(WordLinkHref(ToQString(span.link)));
        format.setForeground(LINK_COLOUR);
        format.setFontUnderline(true);
    }
    return format;
}

QString SpanText(const std::string &text)
{
    QString shown = ToQString(text);
    shown.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
    return shown;
}

} // namespace

QVariant TArticleDocument::loadResource(int, const QUrl &)
{
    ++resourceRequests;
    return QVariant();
}

void InsertArticle(QTextCursor &cursor, const QString &headword, const ArticleDocument &document,
    const QTextCharFormat &base)
{
    // One change for the layout to follow rather than one a span.
    cursor.beginEditBlock();
    if (!headword.isEmpty()) {
        QTextCharFormat bold = base;
        bold.setFontWeight(QFont::Bold);
        cursor.insertText(headword, bold);
        cursor.insertText(QStringLiteral(" "), base);
    }
    const double column = QFontMetricsF(base.font()).averageCharWidth();
    for (const ArticleParagraph &paragraph : document) {
        if (&paragraph != &document.front()) {
            QTextBlockFormat block;
            block.setLeftMargin(paragraph.bodyIndent * column);
            block.setTextIndent((paragraph.indent - paragraph.bodyIndent) * column);
            if (paragraph.blankBefore)
                block.setTopMargin(QFontMetricsF(base.font()).lineSpacing());
            cursor.insertBlock(block, base);
        }
        for (const ArticleSpan &span : paragraph.spans)
            cursor.insertText(SpanText(span.text), SpanFormat(span, base));
    }
    cursor.endEditBlock();
}

QString WordLinkHref(const QString &word)
{
    return WORD_LINK + QString::fromLatin1(QUrl::toPercentEncoding(word));
}

std::optional<QString> WordOfLink(const QString &href)
{
    if (!href.startsWith(WORD_LINK))
        return std::nullopt;
    return QUrl::fromPercentEncoding(href.mid(WORD_LINK.size()).toLatin1());
}
