#include "ui/Article_pane.h"

#include <algorithm>
#include <cmath>

#include <QTextCursor>

#include "platform/Platform.h"
#include "ui/Ansi_text.h"
#include "ui/Colours.h"

namespace {

constexpr int DOUBLE_CLICK_FLASH_MS = 100;

} // namespace

TArticlePane::TArticlePane(QWidget *parent)
    : QTextEdit(parent)
{
    setObjectName(QStringLiteral("RichEdit1"));
    setAccessibleName(QStringLiteral("Статья"));
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TArticlePane::ShowArticle(const ShownArticle &article)
{
    shown = true;
    clear();
    QTextCursor cursor(document());
    if (!article.found) {
        text = QStringLiteral("Не найдено");
        QTextCharFormat plain;
        plain.setFont(font());
        plain.setForeground(Qt::black);
        cursor.insertText(text, plain);
        return;
    }
    text = ToQString(article.text);

    QTextCharFormat format;
    format.setFontFamilies({AnsiToQString(articleFont.name)});
    // The height is in pixels; the pane works in points of the screen it shows on.
    const double points = std::abs(articleFont.height) * 72.0 / logicalDpiY();
    format.setFontPointSize(std::max(1.0, std::round(points)));
    format.setFontWeight(articleFont.style & fsBold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(articleFont.style & fsItalic);
    format.setFontUnderline(articleFont.style & fsUnderline);
    format.setFontStrikeOut(articleFont.style & fsStrikeOut);
    format.setForeground(ToQColorOnLight(articleFont.colour));
    cursor.insertText(text, format);

    cursor.setPosition(0);
    cursor.setPosition(UnitsOfCharacters(text, static_cast<int>(article.headwordCharacters)),
        QTextCursor::KeepAnchor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.mergeCharFormat(bold);

    cursor.setPosition(0);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TArticlePane::MarkPhrase(const std::vector<Mark> &marks)
{
    QTextCharFormat mark;
    mark.setBackground(QColor(255, 255, 0));
    QTextCursor cursor(document());
    // The lookup counts characters, the pane UTF-16 units.
    for (const Mark &stretch : marks) {
        cursor.setPosition(UnitsOfCharacters(text, static_cast<int>(stretch.start)));
        cursor.setPosition(UnitsOfCharacters(text, static_cast<int>(stretch.start + stretch.count)),
            QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(mark);
    }
}

QString TArticlePane::FlashSelectedWord()
{
    QTextCursor selection = textCursor();
    QTextCharFormat flash;
    flash.setForeground(QColor(255, 0, 255));
    flash.setFontWeight(QFont::Bold);
    selection.mergeCharFormat(flash);
    viewport()->repaint();
    SleepMilliseconds(DOUBLE_CLICK_FLASH_MS);
    return selection.selectedText();
}

void TArticlePane::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The toolkit selects the word under the pointer; the program's handler runs after that.
    QTextEdit::mouseDoubleClickEvent(event);
    if (onDoubleClick)
        onDoubleClick();
}
