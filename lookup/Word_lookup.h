#ifndef LOOKUP_WORD_LOOKUP_H
#define LOOKUP_WORD_LOOKUP_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lookup/Pane_articles.h"
#include "storage/Database.h"

// What a search found: the word, and how much of the query its headword holds.
struct Match
{
    WordPosition position; // names no word when nothing was found
    std::string headword; // UTF-8; empty when nothing was found
    // Leading characters the headword shares with the query, letter case aside; for an exact
    // match every character of the headword.
    std::int32_t sharedCharacters = 0;
    bool exact = false; // the headword equals the whole query, letter case aside

    bool Found() const { return !position.IsNone(); }
};

// What a key typed into the search field makes of it.
struct Completion
{
    // Some dictionary continues the whole query: the current word is now match. When false the
    // current word and the field stay as they were, except that a query emptied by Backspace
    // empties the field.
    bool taken = false;
    std::string query; // the typed text with the key applied
    std::int32_t typedCharacters = 0; // characters of the query: the headword's typed beginning
    Match match;
};

// The words around the current one, as the word list shows them. The views hold until the next
// call of Neighbours.
struct NeighbourWindow
{
    const WordRange &words;
    std::int32_t first; // the first row's index in the dictionary
    std::int32_t currentRow; // the current word's row, or the row it would have
};

// The article of the current word as it is shown: the headword, a space, the article.
struct ShownArticle
{
    bool found = false; // false: there is no current word to show
    std::string text; // UTF-8: the headword, a space and DocumentText(document)
    std::size_t headwordCharacters = 0;
    std::string headword;
    ArticleDocument document; // the article laid out by its dictionary's markup
    // The other dictionaries' articles that follow it, not yet read, and their short names.
    std::vector<WordPosition> others;
    std::vector<std::string> otherNames;
};

// A stretch of the shown article, counted in characters.
struct Mark
{
    std::size_t start = 0;
    std::size_t count = 0;

    bool operator==(const Mark &other) const
    {
        return start == other.start && count == other.count;
    }
};

// The rules of looking a word up, without a window: the current word, what a typed key
// completes to, finding, the neighbouring words and the article as shown. Text in and out is
// UTF-8; positions count characters.
class WordLookup
{
public:
    static constexpr char32_t KEY_BACKSPACE = 8;
    static constexpr std::int32_t WORDS_BEFORE = 100;
    static constexpr std::int32_t WORDS_AFTER = 99;

    // database must outlive the lookup.
    explicit WordLookup(const Database &database);

    WordPosition Current() const { return current; }
    // The current word's headword; empty when there is none.
    std::string CurrentHeadword() const;
    // The headwords at positions, in their order.
    std::vector<std::string> Headwords(const std::vector<WordPosition> &positions) const;

    // typed is what the user has typed of the field's word (the text before the selected
    // completion); key is a character, or KEY_BACKSPACE, which takes the last character away.
    // The key is taken only when some dictionary continues the whole query: a dictionary that
    // cannot hold a character matches nothing from it on.
    Completion Type(const std::string &typed, char32_t key);
    // Looks query up in every dictionary (dicId 0: the first exact match wins, else the longest
    // shared beginning, an earlier dictionary winning a tie) or in one. The current word becomes
    // what is found, or none.
    Match Find(const std::string &query, std::uint32_t dicId = 0);
    // The current word becomes position when that names a word of a loaded dictionary;
    // otherwise nothing changes and the result is false. Alone: shown without the other
    // dictionaries' articles, as a dictionary's button shows it.
    bool Select(WordPosition position, bool alone = false);
    // The current word becomes the one on row of the last neighbour window; false, changing
    // nothing, when there is no current dictionary or no such row.
    bool SelectRow(std::int32_t row);

    // Up to WORDS_BEFORE words before the current one, the word and up to WORDS_AFTER after
    // it; no words when there is no current word.
    NeighbourWindow Neighbours();
    // The window whose first row is first, as the list showed it when word was current, and word
    // current again: what going back to word shows. Empty, changing nothing, when word's
    // dictionary has no such window.
    std::optional<NeighbourWindow> NeighboursFrom(WordPosition word, std::int32_t first);
    // The current word's article, kept for Marks.
    const ShownArticle &Article();
    // Where phrase occurs in the article Article last gave, letter case ignored by the rule of
    // its dictionary; ascending, not overlapping.
    std::vector<Mark> Marks(const std::string &phrase) const;

    // Whether the article of the current word is followed by the other dictionaries' articles of
    // the same headword (on unless turned off). A word found in one dictionary chosen by its
    // button is shown alone either way.
    void ShowAllDictionaries(bool on) { allDictionaries = on; }
    bool ShowsAllDictionaries() const { return allDictionaries; }
    bool ShownAlone() const { return chosenAlone; }
    // One of the articles Article named in others, read and laid out.
    PaneArticle OtherArticle(WordPosition position) const;
    // Where phrase occurs in the pane's text of the article at position (its ShownText),
    // counted from its headword.
    std::vector<Mark> MarksIn(
        WordPosition position, const std::string &text, const std::string &phrase) const;

private:
    Match MatchOf(bool found, std::int32_t matchedLength) const;

    const Database &database;
    WordPosition current;
    WordRange neighbours;
    std::int32_t neighboursFirst = -1;
    ShownArticle shown;
    WordPosition shownPosition;
    bool allDictionaries = true;
    bool chosenAlone = false; // the current word was found in the one dictionary asked for
};

#endif // LOOKUP_WORD_LOOKUP_H
