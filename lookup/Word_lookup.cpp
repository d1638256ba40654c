#include "lookup/Word_lookup.h"

#include <algorithm>

#include "storage/Article_lines.h"
#include "storage/Phrase_finder.h"
#include "storage/Text_encoding.h"
#include "support/Code_page.h"

namespace {

// The pane's text as a phrase is looked for in it: its paragraph ends and line breaks are blanks,
// one character each, so that the marks fall where the pane counts, and a Windows-1251
// dictionary's rule can read every character.
std::string PhraseText(std::string text)
{
    for (char &c : text)
        c = c == '\n' ? ' ' : c;
    return ReplaceLineBreaks(std::move(text), " ");
}

std::int32_t Characters(const std::string &utf8)
{
    return static_cast<std::int32_t>(Utf8Text::Count(utf8.data(), utf8.size()));
}

// The query a key makes of the typed text.
std::string QueryAfterKey(std::string typed, char32_t key)
{
    if (key != WordLookup::KEY_BACKSPACE) {
        AppendUtf8(typed, key);
        return typed;
    }
    // The whole last character goes, however many bytes it has.
    while (!typed.empty() && (static_cast<unsigned char>(typed.back()) & 0xC0) == 0x80)
        typed.pop_back();
    if (!typed.empty())
        typed.pop_back();
    return typed;
}

} // namespace

WordLookup::WordLookup(const Database &database)
    : database(database)
{
}

std::string WordLookup::CurrentHeadword() const
{
    return database.GetWord(current);
}

std::vector<std::string> WordLookup::Headwords(const std::vector<WordPosition> &positions) const
{
    std::vector<std::string> words;
    words.reserve(positions.size());
    for (const WordPosition &position : positions)
        words.push_back(database.GetWord(position));
    return words;
}

Match WordLookup::MatchOf(bool found, std::int32_t matchedLength) const
{
    Match match;
    if (!found)
        return match;
    match.position = current;
    match.headword = database.GetWord(current);
    match.exact = matchedLength == -1;
    match.sharedCharacters = match.exact ? Characters(match.headword) : matchedLength;
    return match;
}

Completion WordLookup::Type(const std::string &typed, char32_t key)
{
    Completion completion;
    completion.query = QueryAfterKey(typed, key);
    completion.typedCharacters = Characters(completion.query);
    WordPosition found;
    std::int32_t matched = 0;
    completion.taken = database.Find(0, completion.query, found, &matched)
        && (matched == 0 || matched == -1 || completion.typedCharacters <= matched);
    if (!completion.taken)
        return completion;
    current = found;
    completion.match = MatchOf(true, matched);
    return completion;
}

Match WordLookup::Find(const std::string &query, std::uint32_t dicId)
{
    std::int32_t matched = 0;
    const bool found = database.Find(dicId, query, current, &matched);
    chosenAlone = dicId != 0;
    return MatchOf(found, matched);
}

bool WordLookup::Select(WordPosition position, bool alone)
{
    const Dictionary *dictionary = database.FindById(position.dicId);
    if (!dictionary || position.index < 0
        || static_cast<std::uint32_t>(position.index) >= dictionary->GetWordCount())
        return false;
    current = position;
    chosenAlone = alone;
    return true;
}

bool WordLookup::SelectRow(std::int32_t row)
{
    if (row < 0 || current.dicId == 0 || static_cast<std::size_t>(row) >= neighbours.size())
        return false;
    current.index = row + neighboursFirst;
    return true;
}

NeighbourWindow WordLookup::Neighbours()
{
    const Dictionary *dictionary = current.IsNone() ? nullptr : database.FindById(current.dicId);
    if (!dictionary) {
        neighbours = WordRange();
        neighboursFirst = -1;
        return {neighbours, -1, -1};
    }
    const std::int64_t count = dictionary->GetWordCount();
    const std::int64_t at = current.index;
    const std::int64_t first = std::max<std::int64_t>(at - WORDS_BEFORE, 0);
    const std::int64_t last = std::min<std::int64_t>(at + WORDS_AFTER + 1, count);
    dictionary->GetWords(
        static_cast<std::int32_t>(first), static_cast<std::int32_t>(last), neighbours);
    neighboursFirst = neighbours.size() ? static_cast<std::int32_t>(first) : -1;
    const auto row = static_cast<std::int32_t>(
        std::max<std::int64_t>(std::min(at, std::max(first, last)) - first, 0));
    return {neighbours, neighboursFirst, row};
}

std::optional<NeighbourWindow> WordLookup::NeighboursFrom(WordPosition word, std::int32_t first)
{
    // A window is filled around the word WORDS_BEFORE rows below its first, except at the start.
    if (!Select({word.dicId, first > 0 ? first + WORDS_BEFORE : 0}))
        return std::nullopt;
    const NeighbourWindow window = Neighbours();
    Select(word);
    return window;
}

const ShownArticle &WordLookup::Article()
{
    shown = ShownArticle();
    shownPosition = current;
    if (current.IsNone())
        return shown;
    const std::string headword = database.GetWord(current);
    shown.found = true;
    shown.headwordCharacters = static_cast<std::size_t>(Characters(headword));
    const PaneArticle article = ReadPaneArticle(database, current);
    shown.headword = article.headword;
    shown.text = article.ShownText();
    shown.document = article.document;
    if (allDictionaries && !chosenAlone)
        shown.others = OtherArticles(database, current);
    for (const WordPosition &other : shown.others)
        shown.otherNames.push_back(database.FindById(other.dicId)->GetAttributes().shortName);
    return shown;
}

PaneArticle WordLookup::OtherArticle(WordPosition position) const
{
    return ReadPaneArticle(database, position);
}

std::vector<Mark> WordLookup::MarksIn(
    WordPosition position, const std::string &text, const std::string &phrase) const
{
    std::vector<Mark> marks;
    if (const Dictionary *dictionary = database.FindById(position.dicId))
        for (const auto &[start, count] : FindPhrase(*dictionary, PhraseText(text), phrase))
            marks.push_back({start, count});
    return marks;
}

std::vector<Mark> WordLookup::Marks(const std::string &phrase) const
{
    std::vector<Mark> marks;
    const Dictionary *dictionary = shown.found ? database.FindById(shownPosition.dicId) : nullptr;
    if (!dictionary)
        return marks;
    for (const auto &[start, count] : FindPhrase(*dictionary, PhraseText(shown.text), phrase))
        marks.push_back({start, count});
    return marks;
}
