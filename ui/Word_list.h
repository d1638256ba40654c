#ifndef UI_WORD_LIST_H
#define UI_WORD_LIST_H

#include <functional>

#include <QListWidget>

#include "lookup/Word_lookup.h"
#include "support/Font_keys.h"

// The list of the words around the current one. A click on a row, or moving to it with the
// keyboard, calls onChoose; a row changed by a refill does not.
class TWordList : public QListWidget
{
    Q_OBJECT

public:
    explicit TWordList(QWidget *parent = nullptr);

    std::function<void()> onChoose;

    // Shows the window's words with its current row selected and in sight.
    void ShowWords(const NeighbourWindow &window);
    // Shows the words a pattern matched, the first one current when first is true; the refill
    // calls no onChoose.
    void ShowMatches(const std::vector<std::string> &words, bool first);
    // Rows are as high as the font needs, 19 pixels at the least.
    void SetListFont(const FontDescription &font);

private:
    bool filling = false;
};

#endif // UI_WORD_LIST_H
