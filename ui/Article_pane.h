#ifndef UI_ARTICLE_PANE_H
#define UI_ARTICLE_PANE_H

#include <functional>
#include <vector>

#include <QTextEdit>

#include "lookup/Word_lookup.h"
#include "support/Font_keys.h"

// The article pane: shows one article, its headword bold, in the article font, and marks
// stretches of it. A double click selects the word under the pointer, then calls onDoubleClick.
class TArticlePane : public QTextEdit
{
    Q_OBJECT

public:
    explicit TArticlePane(QWidget *parent = nullptr);

    std::function<void()> onDoubleClick;

    // Takes effect with the next ShowArticle.
    void SetArticleFont(const FontDescription &font) { articleFont = font; }
    // The article, or "Не найдено" in plain black when there is none; scrolled to its top.
    void ShowArticle(const ShownArticle &article);
    // Whether an article (or its absence) has been shown since the pane was made.
    bool Shown() const { return shown; }
    // Marks the stretches, counted in characters of the article last shown, yellow.
    void MarkPhrase(const std::vector<Mark> &marks);
    // The selected word, flashed for a moment first so that the user sees what is looked up.
    QString FlashSelectedWord();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    FontDescription articleFont;
    QString text;
    bool shown = false;
};

#endif // UI_ARTICLE_PANE_H
