#include "platform/Selected_text.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

bool IsCutAtEnds(QChar character)
{
    return character.isSpace() || character.isPunct()
        || character.category() == QChar::Other_Format;
}

} // namespace

QString TrimSelection(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsCutAtEnds(text.at(first)))
        ++first;
    while (last > first && IsCutAtEnds(text.at(last - 1)))
        --last;
    return text.mid(first, last - first).simplified();
}

QString SelectedText()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection()) {
        const QString selected = TrimSelection(clipboard->text(QClipboard::Selection));
        if (!selected.isEmpty())
            return selected;
    }
    return TrimSelection(clipboard->text(QClipboard::Clipboard));
}
