#ifndef STORAGE_ARTICLE_SEARCH_H
#define STORAGE_ARTICLE_SEARCH_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Database;
class Dictionary;
class PhraseFinder;

// The records of one dictionary whose article holds a phrase, in index order. A record costs
// eight bytes, so that a search matching hundreds of thousands costs little; their headwords and
// excerpts (UTF-8, all in one buffer) are kept only when the search was asked for them.
class ArticleMatches
{
public:
    ArticleMatches() = default;
    ArticleMatches(std::uint32_t dicId, std::size_t phraseLength)
        : dicId(dicId)
        , phraseLength(phraseLength)
    {
    }
    // finder, the one that found the matches, tells the excerpts where each occurrence ends.
    ArticleMatches(std::uint32_t dicId, std::shared_ptr<const PhraseFinder> finder);

    std::uint32_t DicId() const { return dicId; }
    // Bytes of the phrase in the dictionary's own text.
    std::size_t PhraseLength() const { return phraseLength; }
    const PhraseFinder *Finder() const { return finder.get(); }
    // The dictionary's data file changed while it was scanned: none of its matches are given,
    // for they could be anything.
    bool FileChanged() const { return fileChanged; }
    void SetFileChanged() { fileChanged = true; }
    std::size_t Size() const { return hits.size(); }
    bool Empty() const { return hits.empty(); }
    std::int32_t Index(std::size_t i) const { return hits[i].index; }
    // Where the first occurrence starts in the record's article, in bytes.
    std::uint32_t Position(std::size_t i) const { return hits[i].position; }
    // Empty when the texts were not kept.
    std::string_view Headword(std::size_t i) const;
    std::string_view Excerpt(std::size_t i) const;

    void Add(std::int32_t index, std::uint32_t position);
    // The texts of the record added last.
    void AddTexts(std::string_view headword, std::string_view excerpt);
    // Empties the set and gives its memory back.
    void Clear();

private:
    struct Hit
    {
        std::int32_t index;
        std::uint32_t position;
    };
    struct Texts
    {
        std::size_t start; // of the headword; the excerpt follows it
        std::uint16_t headwordLength;
        std::uint16_t excerptLength;
    };
    std::uint32_t dicId = 0;
    std::size_t phraseLength = 0;
    std::shared_ptr<const PhraseFinder> finder;
    bool fileChanged = false;
    std::vector<Hit> hits;
    std::vector<Texts> texts;
    std::string text;
};

// The excerpt of match i of matches, a dictionary's, read from its data file now: what the search
// keeps when asked for texts. Empty when the file cannot be read there.
std::string ReadExcerpt(const Dictionary &dictionary, const ArticleMatches &matches, std::size_t i);

// Search inside the articles of every loaded dictionary with no index of any kind: each data
// file is read a stretch at a time through its dictionary, and nothing is written. A data file
// cut or written over during its scan gives no matches but says so, and the others go on.
//
// A record matches when its article, as Dictionary::GetArticle reads it, holds the phrase with
// letter case ignored by the dictionary's rule; the phrase is taken as typed, blanks included.
// Results come one per record, in the database's order of dictionaries and then index order.
class ArticleSearch
{
public:
    // Called on the thread that runs the search, in order: the matches of the next dictionary
    // (possibly none), in one set or several, then how many bytes of data out of how many have
    // been scanned.
    using Sink = std::function<void(ArticleMatches &&matches)>;
    using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

    // The dictionaries are taken in the database's order now; they must outlive the search,
    // which reads them from other threads (reading only). phrase is UTF-8.
    // withTexts: whether the matches keep their headwords and excerpts.
    ArticleSearch(const Database &database, const std::string &phrase, bool withTexts = true);
    // These dictionaries, in this order.
    ArticleSearch(std::vector<const Dictionary *> dictionaries, const std::string &phrase,
        bool withTexts = true);

    // Scans on up to threads threads, the caller's among them (0: as many as the machine has,
    // at most four). Returns false when cancel was raised before the end; the sink may have
    // been given the matches of the dictionaries finished before that.
    bool Run(const Sink &sink, const std::atomic<bool> &cancel, unsigned threads = 0,
        const Progress &progress = Progress());

    // Whether an installed dictionary's articles are first sifted by their source text (on by
    // default). Off, every article is made and searched: what the sifting must agree with.
    void SetSourcePrefilter(bool on) { prefilter = on; }

private:
    std::vector<const Dictionary *> dictionaries;
    std::string phrase;
    bool withTexts;
    bool prefilter = true;
};

// Tells, by an installed dictionary's article as its source gives it, before the text rules,
// that the article those rules make cannot hold a phrase: any that can holds the longest piece of
// the phrase the rules keep whole, letter case aside, or else one of the few characters beyond
// ASCII that may stand for a letter of that piece in another case.
class SourcePrefilter
{
public:
    // phrase is UTF-8, upper-cased as a search takes it.
    explicit SourcePrefilter(const std::string &phrase);
    ~SourcePrefilter();
    // Whether the phrase has such a piece: without one every article may hold it.
    bool Active() const { return !piece.empty(); }
    const std::string &Piece() const { return piece; }
    bool MayHold(std::string_view source) const;

private:
    std::string piece;
    std::unique_ptr<PhraseFinder> finder;
    std::vector<std::string> standIns;
};

#endif // STORAGE_ARTICLE_SEARCH_H
