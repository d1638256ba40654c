#include "ui/Word_list.h"

#include <algorithm>

#include <QApplication>
#include <QStyledItemDelegate>

#include "ui/Colours.h"
#include "ui/Font_chooser.h"

namespace {

constexpr int LINE_HEIGHT = 19;

// Lines are 19 pixels high, or as high as the list's font needs when that is more.
class LineHeightDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(),
            std::max(LINE_HEIGHT, option.fontMetrics.height()));
    }
};

} // namespace

TWordList::TWordList(QWidget *parent)
    : QListWidget(parent)
{
    setObjectName(QStringLiteral("ListBox1"));
    setAccessibleName(QStringLiteral("Список слов"));
    setItemDelegate(new LineHeightDelegate(this));
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemClicked, this, [this] {
        if (onChoose)
            onChoose();
    });
    // Moving through the list with the keyboard shows each word, as a click does; rows changed
    // by a mouse press are left to the click so that the article is built once.
    connect(this, &QListWidget::currentRowChanged, this, [this] {
        if (!filling && QApplication::mouseButtons() == Qt::NoButton && onChoose)
            onChoose();
    });
}

void TWordList::ShowWords(const NeighbourWindow &window)
{
    // Filled with updates off, so a refill is drawn once whatever the number of lines.
    filling = true;
    setUpdatesEnabled(false);
    if (window.currentRow >= 0) {
        // Rows are kept from one refill to the next and only their texts change, so a refill
        // makes no row objects and the view sees no reset.
        const auto rows = static_cast<int>(window.words.size());
        for (int row = 0; row < rows; ++row) {
            const std::string_view word = window.words[static_cast<std::size_t>(row)];
            const QString text =
                QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
            if (row < count())
                item(row)->setText(text);
            else
                addItem(text);
        }
        while (count() > rows)
            delete takeItem(count() - 1);
        setCurrentRow(window.currentRow);
        // From the top, as a list filled anew scrolls to its current row; the row may be the
        // current one already, which scrolls nowhere by itself.
        scrollToTop();
        scrollToItem(currentItem());
    } else {
        clear();
    }
    setUpdatesEnabled(true);
    filling = false;
}

void TWordList::SetListFont(const FontDescription &font)
{
    setUpdatesEnabled(false);
    setFont(FontFromDescription(font));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Text, ToQColorOnLight(font.colour));
    setPalette(palette);
    setUpdatesEnabled(true);
}

void TWordList::ShowMatches(const std::vector<std::string> &words, bool first)
{
    // Filled anew rather than as ShowWords does: the rows are no window around one word.
    const QSignalBlocker quiet(this);
    clear();
    for (const std::string &word : words)
        addItem(QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())));
    setCurrentRow(first ? 0 : -1);
}
