#ifndef LOOKUP_SUGGESTIONS_H
#define LOOKUP_SUGGESTIONS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lookup/Headword_keys.h"
#include "storage/Database.h"

class WordForms;

enum class SuggestionKind
{
    Exact, // the word is a headword as typed
    Form, // a lemma of the word, which is an inflected form of it
    Folded, // the word without its case, accents, stress marks or ё
    Spelling, // a headword a few edits away
    Pattern, // a headword matching the word's * and ?
};

// "exact", "form", "folded", "spelling" or "pattern".
const char *SuggestionKindName(SuggestionKind kind);

struct Suggestion
{
    std::string headword; // as its dictionary gives it
    WordPosition position;
    SuggestionKind kind;
};

// What a word that is no headword may stand for, over every loaded dictionary. The folded
// headwords are built on the first call that needs them and kept until the dictionaries change,
// so a miss costs a few halvings of them rather than a pass over every headword. Never called on
// the key-press path. The database must outlive the object.
class Suggester
{
public:
    static constexpr std::size_t MAX_SUGGESTIONS = 10;

    // forms may be null: then no lemmas are suggested and spelling is ranked without knowing
    // which words are everyday ones.
    Suggester(const Database &database, WordForms *forms);

    // Best first, at most limit, no headword twice (letter case aside). A headword equal to the
    // word comes first (kind Exact); then the headwords that fold as the word does, those of its
    // lemmas, and, for a word without * or ?, those within two edits (one for words of up to
    // four letters, three for words of seven or more), nearest first, then likelier slips, everyday
    // words, consultation order and index order. For a word with * or ?, the headwords matching it
    // follow the exact one, in consultation and index order. Empty for an empty word. Without
    // withForms no morphology is asked (nor read): for a key the field refused, where nothing may
    // take the time of reading a dictionary.
    std::vector<Suggestion> Suggest(
        const std::string &word, std::size_t limit = MAX_SUGGESTIONS, bool withForms = true);

    // Starts reading the word forms on a thread of their own (WordForms::ReadInBackground).
    // Until they are there, Suggest goes on without them rather than wait.
    void ReadFormsInBackground();
    // False while the word forms are still being read in the background.
    bool FormsReady() const;

    // The headword to show for a word that came from outside the field when it is no headword
    // itself: the first that folds as it does or is its lemma. False (suggestion untouched) when
    // the word is a headword or none such is found. Waits for the word forms to be read: a word
    // handed over is not a key press, and its lemma is what it is shown by.
    bool FindLemma(const std::string &word, Suggestion &suggestion);

    // The headwords of dictionary dicId (0: every dictionary) that match pattern, in consultation
    // and index order, at most limit, each position once.
    std::vector<WordPosition> MatchPattern(
        const std::string &pattern, std::uint32_t dicId, std::size_t limit);

private:
    struct Ranked;
    bool IsExact(const std::string &word, WordPosition &position) const;
    void AddEqual(const std::string &text, SuggestionKind kind, std::vector<Ranked> &out);
    void AddSpellings(
        const std::string &folded, std::size_t wanted, WordForms *known, std::vector<Ranked> &out);
    // Of the headwords under entry's key, the one spelt nearest to typed (case folded), then the
    // first consulted: difference rather than différence for diffrence.
    std::size_t NearestSpelt(std::size_t entry, const std::string &typed) const;
    std::int32_t Order(std::size_t entry) const;

    const Database &database;
    WordForms *forms;
    HeadwordKeys keys;
};

#endif // LOOKUP_SUGGESTIONS_H
