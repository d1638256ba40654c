#include "ui/Article_pane.h"

#include <algorithm>
#include <cmath>

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include "platform/Platform.h"
#include "ui/Ansi_text.h"
#include "ui/Article_render.h"
#include "ui/Colours.h"

namespace {

constexpr int DOUBLE_CLICK_FLASH_MS = 100;
// The other articles drawn at once hold at most this many characters, or half the first
// article's, whichever is more; the rest wait until the reader goes on to them. Drawing is what
// showing an article costs, so a word found in many dictionaries shows about as fast as one.
constexpr std::size_t DRAW_BUDGET_MIN = 4000;
const QColor HEADER_BACKGROUND(222, 222, 204);
const QColor HEADER_COLOUR(64, 64, 64);

std::size_t Characters(const QString &text)
{
    return static_cast<std::size_t>(text.size());
}

} // namespace

TArticlePane::TArticlePane(QWidget *parent)
    : QTextEdit(parent)
    , articleDocument(new TArticleDocument(this))
    , alsoLine(new QLabel(this))
    , drawTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("RichEdit1"));
    setAccessibleName(QStringLiteral("Статья"));
    // Read-only: there is nothing to undo, and recording each insertion costs the showing.
    articleDocument->setUndoRedoEnabled(false);
    setDocument(articleDocument);
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    alsoLine->setObjectName(QStringLiteral("AlsoLine"));
    alsoLine->setAccessibleName(QStringLiteral("Также в словарях"));
    alsoLine->setTextFormat(Qt::RichText);
    alsoLine->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    alsoLine->setContentsMargins(4, 2, 4, 2);
    alsoLine->hide();
    connect(alsoLine, &QLabel::linkActivated, this,
        [this](const QString &href) { GoToArticle(href.toInt()); });

    drawTimer->setSingleShot(true);
    drawTimer->setInterval(0);
    connect(drawTimer, &QTimer::timeout, this, [this] { DrawWithinBudget(); });
    // The next article is drawn as the reader nears the end of those drawn.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!moving)
            current = ArticleAtScroll();
        if (!drawTimer->isActive()
            && value >= verticalScrollBar()->maximum() - viewport()->height())
            DrawNext();
    });
}

QTextCharFormat TArticlePane::ArticleFormat() const
{
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
    return format;
}

void TArticlePane::ShowArticle(const ShownArticle &article)
{
    shown = true;
    drawTimer->stop();
    texts.clear();
    textStarts.clear();
    starts.assign(1, 0);
    textStarts.push_back(0);
    others.clear();
    drawnCharacters = 0;
    current = 0;
    markedPhrase.clear();
    clear();
    QTextCursor cursor(document());
    if (!article.found) {
        texts.push_back(QStringLiteral("Не найдено"));
        QTextCharFormat plain;
        plain.setFont(font());
        plain.setForeground(Qt::black);
        cursor.insertText(texts.back(), plain);
        alsoLine->hide();
        PlaceAlsoLine();
        return;
    }
    texts.push_back(ToQString(article.text));
    InsertArticle(cursor, ToQString(article.headword), article.document, ArticleFormat());
    firstCharacters = Characters(texts.back());
    others = article.others;

    QString also;
    for (std::size_t i = 0; i < article.otherNames.size(); ++i)
        also += (i ? QStringLiteral(", ") : QString())
            + QStringLiteral("<a href=\"%1\">%2</a>")
                  .arg(i + 1)
                  .arg(ToQString(article.otherNames[i]).toHtmlEscaped());
    alsoLine->setText(QStringLiteral("Также: ") + also);
    alsoLine->setVisible(!others.empty());
    PlaceAlsoLine();

    cursor.setPosition(0);
    setTextCursor(cursor);
    ensureCursorVisible();
    if (!others.empty())
        drawTimer->start();
}

bool TArticlePane::DrawNext()
{
    if (!lookup || starts.size() > others.size())
        return false;
    const std::size_t number = starts.size();
    const PaneArticle article = lookup->OtherArticle(others[number - 1]);
    const QTextCharFormat format = ArticleFormat();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QTextBlockFormat header;
    header.setTopMargin(QFontMetricsF(format.font()).lineSpacing() / 2);
    header.setBackground(HEADER_BACKGROUND);
    QTextCharFormat headerFormat = format;
    headerFormat.setFontWeight(QFont::Bold);
    headerFormat.setFontItalic(false);
    headerFormat.setFontUnderline(false);
    headerFormat.setFontStrikeOut(false);
    headerFormat.setForeground(HEADER_COLOUR);
    cursor.insertBlock(header, headerFormat);
    starts.push_back(cursor.block().position());
    cursor.insertText(ToQString(article.title), headerFormat);
    cursor.insertBlock(QTextBlockFormat(), format);
    textStarts.push_back(cursor.position());
    texts.push_back(ToQString(article.ShownText()));
    InsertArticle(cursor, ToQString(article.headword), article.document, format);
    drawnCharacters += Characters(texts.back());
    if (!markedPhrase.empty())
        MarkArticle(number, lookup->MarksIn(article.position, article.ShownText(), markedPhrase));
    return true;
}

void TArticlePane::DrawWithinBudget()
{
    const std::size_t budget = std::max(DRAW_BUDGET_MIN, firstCharacters / 2);
    // Beyond the budget only while the pane has room to spare: nothing to scroll means nothing
    // would ever ask for the next article.
    while (starts.size() <= others.size()
        && (drawnCharacters < budget || verticalScrollBar()->maximum() == 0))
        if (!DrawNext())
            break;
}

bool TArticlePane::GoToArticle(int article)
{
    if (article < 0 || article >= ArticleCount())
        return false;
    while (DrawnArticles() <= article)
        if (!DrawNext())
            return false;
    const QTextBlock block = document()->findBlock(ArticleStart(article));
    moving = true;
    setTextCursor(QTextCursor(block));
    verticalScrollBar()->setValue(
        static_cast<int>(document()->documentLayout()->blockBoundingRect(block).top()));
    moving = false;
    // The last articles may be too short to reach the top; the reader is at this one all the same.
    current = article;
    return true;
}

int TArticlePane::ArticleAtScroll() const
{
    const double top = verticalScrollBar()->value();
    for (int article = DrawnArticles() - 1; article > 0; --article) {
        const QTextBlock block = document()->findBlock(ArticleStart(article));
        if (document()->documentLayout()->blockBoundingRect(block).top() <= top + 1)
            return article;
    }
    return 0;
}

void TArticlePane::MarkPhrase(const std::vector<Mark> &marks)
{
    MarkArticle(0, marks);
}

void TArticlePane::MarkPhrase(const std::string &phrase)
{
    markedPhrase = phrase;
    if (!lookup || phrase.empty())
        return;
    MarkArticle(0, lookup->Marks(phrase));
    for (std::size_t article = 1; article < starts.size(); ++article)
        MarkArticle(article,
            lookup->MarksIn(others[article - 1], ToCoreText(texts[article]), markedPhrase));
}

void TArticlePane::MarkArticle(std::size_t article, const std::vector<Mark> &marks)
{
    if (article >= texts.size())
        return;
    QTextCharFormat mark;
    mark.setBackground(QColor(255, 255, 0));
    QTextCursor cursor(document());
    const QString &text = texts[article];
    const int start = textStarts[article];
    // The lookup counts characters, the pane UTF-16 units.
    for (const Mark &stretch : marks) {
        cursor.setPosition(start + UnitsOfCharacters(text, static_cast<int>(stretch.start)));
        cursor.setPosition(
            start + UnitsOfCharacters(text, static_cast<int>(stretch.start + stretch.count)),
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

void TArticlePane::PlaceAlsoLine()
{
    const int height = alsoLine->isVisible() ? alsoLine->sizeHint().height() : 0;
    setViewportMargins(0, height, 0, 0);
    const QRect area = contentsRect();
    alsoLine->setGeometry(area.left(), area.top(), viewport()->width(), height);
}

void TArticlePane::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The toolkit selects the word under the pointer; the program's handler runs after that.
    QTextEdit::mouseDoubleClickEvent(event);
    if (onDoubleClick)
        onDoubleClick();
}

void TArticlePane::mouseReleaseEvent(QMouseEvent *event)
{
    QTextEdit::mouseReleaseEvent(event);
    // A click on a link, not the end of a selection that began on one.
    if (event->button() != Qt::LeftButton || textCursor().hasSelection() || !onLinkClick)
        return;
    if (const auto word = WordOfLink(anchorAt(event->position().toPoint())))
        onLinkClick(*word);
}

void TArticlePane::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() == Qt::AltModifier
        && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        const QTextBlock block = document()->findBlock(ArticleStart(current));
        const bool atStart = document()->documentLayout()->blockBoundingRect(block).top()
            >= verticalScrollBar()->value() - 1;
        GoToArticle(event->key() == Qt::Key_Down ? current + 1 : atStart ? current - 1 : current);
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void TArticlePane::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    PlaceAlsoLine();
}
