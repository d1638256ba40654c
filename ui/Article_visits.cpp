#include "ui/Article_visits.h"

#include <optional>

#include "controls/Button_section_bar.h"
#include "lookup/Article_history.h"
#include "lookup/Word_lookup.h"
#include "ui/Ansi_text.h"
#include "ui/Word_input.h"
#include "ui/Word_list.h"

ArticleVisit CaptureVisit(
    const VisitViews &views, const WordLookup &lookup, const std::string &phrase)
{
    ArticleVisit visit;
    visit.fieldText = views.field.Text();
    visit.word = lookup.Current();
    visit.listRow = views.list.currentRow();
    visit.listFirst = visit.word.index - visit.listRow;
    visit.barItem = views.bar.SelectedValue().value_or(0);
    visit.phrase = phrase;
    visit.alone = lookup.ShownAlone();
    return visit;
}

bool RestoreVisit(const VisitViews &views, WordLookup &lookup, const ArticleVisit &visit)
{
    const std::optional<NeighbourWindow> window =
        lookup.NeighboursFrom(visit.word, visit.listFirst);
    if (!window)
        return false;
    lookup.Select(visit.word, visit.alone);
    views.list.ShowWords({window->words, window->first, visit.listRow});
    views.field.ShowWord(ToQString(visit.fieldText));
    if (visit.barItem)
        views.bar.SelectItem(visit.barItem);
    return true;
}
