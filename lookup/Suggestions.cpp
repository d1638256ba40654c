#include "lookup/Suggestions.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <unordered_set>

#include "lookup/Folding.h"
#include "lookup/Patterns.h"
#include "lookup/Spelling.h"
#include "lookup/Word_forms.h"

namespace {

// No index holds a longer headword.
constexpr std::size_t MAX_HEADWORD_CHARACTERS = 199;
// Words of this many letters or more are looked for up to three edits away.
constexpr std::size_t THREE_EDIT_LETTERS = 7;
// Keys a spelling walk may collect before it stops; far more than are ever shown.
constexpr std::size_t WALK_LIMIT = 5000;
// Only the nearest candidates are asked whether they are everyday words.
constexpr std::size_t KNOWN_ASKED = 60;
// What knowing a candidate and finding it in more dictionaries take off its typing cost.
constexpr double KNOWN_BONUS = 0.35;
constexpr double SHARED_BONUS = 0.1;
// Per step of the logarithm of how often a candidate is met in text.
constexpr double USE_BONUS = 0.1;

} // namespace

const char *SuggestionKindName(SuggestionKind kind)
{
    switch (kind) {
    case SuggestionKind::Exact:
        return "exact";
    case SuggestionKind::Form:
        return "form";
    case SuggestionKind::Folded:
        return "folded";
    case SuggestionKind::Spelling:
        return "spelling";
    case SuggestionKind::Pattern:
        return "pattern";
    }
    return "";
}

struct Suggester::Ranked
{
    std::size_t entry; // in keys
    SuggestionKind kind;
};

Suggester::Suggester(const Database &database, WordForms *forms)
    : database(database)
    , forms(forms)
{
}

bool Suggester::IsExact(const std::string &word, WordPosition &position) const
{
    std::int32_t matchedLength = 0;
    return database.Find(0, word, position, &matchedLength) && matchedLength == -1;
}

std::int32_t Suggester::Order(std::size_t entry) const
{
    return database.IndexOfId(keys.Ids()[keys[entry].slot]);
}

void Suggester::AddEqual(const std::string &text, SuggestionKind kind, std::vector<Ranked> &out)
{
    const auto [first, last] = keys.EqualRange(FoldText(text));
    const std::string wanted = FoldCase(text);
    std::vector<std::pair<bool, std::size_t>> found; // spelt otherwise than text, entry
    for (std::size_t i = first; i < last; ++i)
        found.emplace_back(FoldCase(database.GetWord(keys.Position(i))) != wanted, i);
    // The headword spelt as asked for first (kilomètre for kilomètre, even where another
    // dictionary has kilometre), then consultation order: entries of one key are in slot order,
    // and the database may have been reordered since.
    std::stable_sort(found.begin(), found.end(), [this](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : Order(a.second) < Order(b.second);
    });
    for (const auto &item : found)
        out.push_back(Ranked{item.second, kind});
}

void Suggester::AddSpellings(
    const std::string &folded, std::size_t wanted, WordForms *known, std::vector<Ranked> &out)
{
    const std::u32string typed = DecodeText(folded);
    // The walk keeps a row of distances per character of the word for every character of a key:
    // a word longer than any headword by more than three edits has no spelling to find, and a
    // pasted page of text must not cost memory by the square of its length.
    if (typed.size() < 2 || typed.size() > MAX_HEADWORD_CHARACTERS + 3)
        return;
    const int reach = typed.size() <= 4 ? 1 : typed.size() < THREE_EDIT_LETTERS ? 2 : 3;
    std::vector<SpellingMatch> matches = FindSpellings(keys, folded, 1, WALK_LIMIT);
    matches.erase(std::remove_if(matches.begin(), matches.end(),
                      [](const SpellingMatch &match) { return match.distance == 0; }),
        matches.end());
    // Two edits only when one gives too few, and then under the word's own beginning; three
    // likewise, for a long word, where a slip of three letters is as likely as one of two in a
    // short one (indepently, incompatabily).
    for (int distance = 2; distance <= reach && matches.size() < wanted; ++distance)
        for (const SpellingMatch &match : FindSpellings(keys, folded, distance, WALK_LIMIT, true))
            if (match.distance == distance)
                matches.push_back(match);
    struct Scored
    {
        SpellingMatch match;
        double cost;
        std::int32_t order;
    };
    std::vector<Scored> scored;
    scored.reserve(matches.size());
    for (const SpellingMatch &match : matches) {
        const auto [first, last] = keys.EqualRange(keys.Key(match.entry));
        std::int32_t order = Order(first);
        std::unordered_set<std::uint16_t> slots;
        for (std::size_t i = first; i < last; ++i) {
            slots.insert(keys[i].slot);
            order = std::min(order, Order(i));
        }
        const double shared = static_cast<double>(std::min<std::size_t>(slots.size() - 1, 2));
        scored.push_back(Scored{match,
            TypingCost(typed, DecodeText(keys.Key(match.entry))) - SHARED_BONUS * shared, order});
    }
    auto byRank = [](const Scored &a, const Scored &b) {
        if (a.match.distance != b.match.distance)
            return a.match.distance < b.match.distance;
        if (a.cost != b.cost)
            return a.cost < b.cost;
        return a.order < b.order;
    };
    std::sort(scored.begin(), scored.end(), byRank);
    if (known != nullptr) {
        const std::size_t asked = std::min(scored.size(), KNOWN_ASKED);
        for (std::size_t k = 0; k < asked; ++k) {
            const std::string key(keys.Key(scored[k].match.entry));
            if (known->Knows(key))
                scored[k].cost -= KNOWN_BONUS;
            scored[k].cost -= USE_BONUS * std::log1p(static_cast<double>(known->UseCount(key)));
        }
        std::sort(scored.begin(), scored.begin() + static_cast<std::ptrdiff_t>(asked), byRank);
    }
    for (const Scored &candidate : scored)
        out.push_back(Ranked{candidate.match.entry, SuggestionKind::Spelling});
}

std::size_t Suggester::NearestSpelt(std::size_t entry, const std::string &typed) const
{
    const auto [first, last] = keys.EqualRange(keys.Key(entry));
    if (last - first == 1)
        return first;
    // An accent the word lacks or has weighs more than any letter: diffrence is one edit from
    // différence as from difference.
    const bool typedPlain = typed == FoldText(typed);
    const std::u32string typedCodes = DecodeText(typed);
    std::size_t best = first;
    std::tuple<bool, double, std::int32_t> bestRank;
    for (std::size_t i = first; i < last; ++i) {
        const std::string spelt = FoldCase(database.GetWord(keys.Position(i)));
        const std::tuple<bool, double, std::int32_t> rank{(spelt == keys.Key(i)) != typedPlain,
            TypingCost(typedCodes, DecodeText(spelt)), Order(i)};
        if (i == first || rank < bestRank) {
            best = i;
            bestRank = rank;
        }
    }
    return best;
}

std::vector<Suggestion> Suggester::Suggest(
    const std::string &word, std::size_t limit, bool withForms)
{
    WordForms *morphology = withForms ? forms : nullptr;
    std::vector<Suggestion> suggestions;
    if (word.empty() || limit == 0)
        return suggestions;
    keys.Update(database);
    std::unordered_set<std::string> seen;
    WordPosition exact;
    if (IsExact(word, exact)) {
        std::string headword = database.GetWord(exact);
        seen.insert(FoldCase(headword));
        suggestions.push_back(Suggestion{std::move(headword), exact, SuggestionKind::Exact});
    }
    std::vector<Ranked> ranked;
    if (IsPattern(word)) {
        for (const WordPosition &position : MatchPattern(word, 0, limit * 4 + 16)) {
            std::string headword = database.GetWord(position);
            if (suggestions.size() < limit && seen.insert(FoldCase(headword)).second)
                suggestions.push_back(
                    Suggestion{std::move(headword), position, SuggestionKind::Pattern});
        }
        return suggestions;
    }
    AddEqual(word, SuggestionKind::Folded, ranked);
    if (morphology != nullptr)
        for (const std::string &lemma : morphology->Lemmas(DropMarks(word)))
            AddEqual(lemma, SuggestionKind::Form, ranked);
    AddSpellings(FoldText(word), limit, morphology, ranked);
    const std::string typed = FoldCase(word);
    for (const Ranked &item : ranked) {
        if (suggestions.size() >= limit)
            break;
        const WordPosition position = keys.Position(
            item.kind == SuggestionKind::Spelling ? NearestSpelt(item.entry, typed) : item.entry);
        std::string headword = database.GetWord(position);
        if (seen.insert(FoldCase(headword)).second)
            suggestions.push_back(Suggestion{std::move(headword), position, item.kind});
    }
    return suggestions;
}

void Suggester::ReadFormsInBackground()
{
    if (forms != nullptr)
        forms->ReadInBackground();
}

bool Suggester::FormsReady() const
{
    return forms == nullptr || forms->Ready();
}

bool Suggester::FindLemma(const std::string &word, Suggestion &suggestion)
{
    WordPosition exact;
    if (word.empty() || IsPattern(word) || IsExact(word, exact))
        return false;
    keys.Update(database);
    std::vector<Ranked> ranked;
    AddEqual(word, SuggestionKind::Folded, ranked);
    if (ranked.empty() && forms != nullptr) {
        forms->ReadInBackground();
        forms->WaitUntilReady();
        for (const std::string &lemma : forms->Lemmas(DropMarks(word)))
            AddEqual(lemma, SuggestionKind::Form, ranked);
    }
    if (ranked.empty())
        return false;
    const WordPosition position = keys.Position(ranked.front().entry);
    suggestion = Suggestion{database.GetWord(position), position, ranked.front().kind};
    return true;
}

std::vector<WordPosition> Suggester::MatchPattern(
    const std::string &pattern, std::uint32_t dicId, std::size_t limit)
{
    keys.Update(database);
    const WordPattern compiled(pattern);
    const auto [first, last] = keys.PrefixRange(compiled.LiteralStart());
    std::vector<std::size_t> found;
    for (std::size_t i = first; i < last; ++i)
        if ((dicId == 0 || keys.Ids()[keys[i].slot] == dicId) && compiled.Matches(keys.Key(i)))
            found.push_back(i);
    std::vector<std::pair<std::int32_t, std::int32_t>> places; // consultation order, index
    places.reserve(found.size());
    for (const std::size_t i : found)
        places.emplace_back(Order(i), keys[i].index);
    std::sort(places.begin(), places.end());
    places.resize(std::min(places.size(), limit));
    std::vector<WordPosition> positions;
    for (const auto &[order, index] : places)
        positions.push_back(WordPosition{database.GetDictionary(order)->GetId(), index});
    return positions;
}
