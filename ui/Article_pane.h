#ifndef UI_ARTICLE_PANE_H
#define UI_ARTICLE_PANE_H

#include <functional>
#include <string>
#include <vector>

#include <QTextEdit>

#include "lookup/Word_lookup.h"
#include "support/Font_keys.h"

class QLabel;
class QTimer;
class TArticleDocument;

// The article pane: the article of the current word, its headword bold, in the article font,
// laid out by its dictionary's markup; below it, under a header line each, the other
// dictionaries' articles of the same headword, which a line at the top lists as links. Those are
// drawn after the first has been shown, as far as a budget goes, and the rest once the reader
// scrolls, presses Alt+Down or follows the top line. A double click selects the word under the
// pointer, then calls onDoubleClick; a click on a link calls onLinkClick with its word.
class TArticlePane : public QTextEdit
{
    Q_OBJECT

public:
    explicit TArticlePane(QWidget *parent = nullptr);

    std::function<void()> onDoubleClick;
    std::function<void(const QString &word)> onLinkClick;

    // Where the other articles and the marks come from; must outlive the pane.
    void SetLookup(const WordLookup *source) { lookup = source; }
    // Takes effect with the next ShowArticle.
    void SetArticleFont(const FontDescription &font) { articleFont = font; }
    // The article, or "Не найдено" in plain black when there is none; scrolled to its top.
    void ShowArticle(const ShownArticle &article);
    // Whether an article (or its absence) has been shown since the pane was made.
    bool Shown() const { return shown; }
    // Marks the stretches, counted in characters of the article last shown, yellow.
    void MarkPhrase(const std::vector<Mark> &marks);
    // Marks phrase yellow wherever it occurs in the articles shown, now and as they are drawn.
    void MarkPhrase(const std::string &phrase);
    // The selected word, flashed for a moment first so that the user sees what is looked up.
    QString FlashSelectedWord();

    // The articles shown and drawn so far, the first included, and where each begins (its
    // header line; 0 for the first).
    int ArticleCount() const { return static_cast<int>(1 + others.size()); }
    int DrawnArticles() const { return static_cast<int>(starts.size()); }
    int ArticleStart(int article) const { return starts[static_cast<std::size_t>(article)]; }
    // Draws the articles up to article and scrolls it to the top; false when there is none.
    bool GoToArticle(int article);
    // The article the reader is at: the one last gone to, or once the pane is scrolled, the one
    // whose beginning is at or above its top.
    int ArticleAtTop() const { return current; }
    // The line that lists the other articles; hidden when there are none.
    QLabel *AlsoLine() const { return alsoLine; }

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QTextCharFormat ArticleFormat() const;
    // Draws the next other article; false when all are drawn.
    bool DrawNext();
    void DrawWithinBudget();
    void MarkArticle(std::size_t article, const std::vector<Mark> &marks);
    void PlaceAlsoLine();
    int ArticleAtScroll() const;

    TArticleDocument *articleDocument;
    QLabel *alsoLine;
    QTimer *drawTimer;
    const WordLookup *lookup = nullptr;
    FontDescription articleFont;
    std::vector<QString> texts; // each drawn article's text, headword first
    std::vector<int> textStarts; // where each drawn article's headword is
    std::vector<int> starts;
    std::vector<WordPosition> others;
    std::size_t firstCharacters = 0;
    std::size_t drawnCharacters = 0; // of the other articles
    int current = 0;
    bool moving = false; // scrolled by GoToArticle rather than by the reader
    std::string markedPhrase;
    bool shown = false;
};

#endif // UI_ARTICLE_PANE_H
