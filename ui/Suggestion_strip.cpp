#include "ui/Suggestion_strip.h"

#include <QFocusEvent>
#include <QTimer>

#include "lookup/Suggestions.h"
#include "ui/Ansi_text.h"

namespace {

// How often a strip waiting for the word forms looks whether they are there.
constexpr int FORMS_POLL_MS = 50;

} // namespace

TSuggestionStrip::TSuggestionStrip(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("SuggestionStrip"));
    setAccessibleName(QStringLiteral("Подсказки"));
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    hide();
    formsWait = new QTimer(this);
    formsWait->setInterval(FORMS_POLL_MS);
    connect(formsWait, &QTimer::timeout, this, [this] { ShowWhenFormsAreRead(); });
    connect(this, &QLabel::linkActivated, this, [this](const QString &link) {
        bool number = false;
        const int index = link.toInt(&number);
        if (number && index >= 0 && static_cast<std::size_t>(index) < note.links.size() && onChoose)
            onChoose(note.links[static_cast<std::size_t>(index)]);
    });
}

void TSuggestionStrip::focusInEvent(QFocusEvent *event)
{
    QLabel::focusInEvent(event);
    // Reached with Tab, the first link takes the focus (the last with Shift+Tab), so that Enter
    // follows it at once.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        QLabel::focusNextPrevChild(event->reason() == Qt::TabFocusReason);
}

void TSuggestionStrip::ShowSuggestions(
    Suggester &suggester, const std::string &word, bool withForms)
{
    suggester.ReadFormsInBackground();
    const bool waiting = withForms && !suggester.FormsReady();
    ShowNote(NoteFor(word, suggester.Suggest(word, Suggester::MAX_SUGGESTIONS, withForms)));
    if (waiting) {
        waitingSuggester = &suggester;
        waitingWord = word;
        formsWait->start();
    }
}

void TSuggestionStrip::ShowWhenFormsAreRead()
{
    if (waitingSuggester == nullptr || !waitingSuggester->FormsReady())
        return;
    Suggester *suggester = waitingSuggester;
    const std::string word = waitingWord;
    ShowSuggestions(*suggester, word);
}

void TSuggestionStrip::ShowNote(const SuggestionNote &shown)
{
    // Whatever is shown now replaces a note still waiting for the word forms.
    formsWait->stop();
    waitingSuggester = nullptr;
    note = shown;
    if (note.Empty()) {
        clear();
        setAccessibleDescription(QString());
        hide();
        return;
    }
    QString html = ToQString(note.lead).toHtmlEscaped();
    QString plain = ToQString(note.lead);
    for (std::size_t i = 0; i < note.links.size(); ++i) {
        const QString headword = ToQString(note.links[i].headword);
        const QString separator = i == 0 ? QString() : QStringLiteral(", ");
        html += separator
            + QStringLiteral("<a href=\"%1\">%2</a>").arg(i).arg(headword.toHtmlEscaped());
        plain += separator + headword;
    }
    if (note.more) {
        html += QStringLiteral(", …");
        plain += QStringLiteral(", …");
    }
    setText(html);
    // A screen reader reads the note as the user sees it, without the markup.
    setAccessibleDescription(plain);
    show();
}
