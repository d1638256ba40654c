#ifndef STORAGE_SOURCE_ENTRIES_H
#define STORAGE_SOURCE_ENTRIES_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/Text_encoding.h"

struct SourceData;

enum class Duplicates
{
    Merge, // one headword, the different articles joined with " | "
    Keep // every entry listed; a typed lookup lands on the first
};

// One entry that was not taken as it stood, for the --report file. Texts in UTF-8.
struct EntryNote
{
    std::string action; // skipped, cut, changed or merged
    std::string headword;
    std::string reason;
};

struct BuildReport
{
    std::size_t headwords = 0; // index records written
    std::size_t articles = 0; // distinct articles written
    std::size_t emptyHeadwords = 0;
    std::size_t longHeadwords = 0;
    std::size_t unmappedHeadwords = 0; // skipped: a character without a Windows-1251 counterpart
    std::size_t cutArticles = 0;
    std::size_t unmappedCharacters = 0; // in articles, written as '?'
    std::size_t mergedHeadwords = 0; // entries folded into an earlier one with the same headword
    std::size_t yoAliases = 0; // second records under a small yo
    std::size_t yeSpellings = 0; // records added under the ye spelling of a headword with yo
    std::size_t stressedEntries = 0; // entries whose stress marks were dropped
    std::vector<EntryNote> notes;
};

// One source article as part of a record's article; a dictd article's first line is dropped
// when it repeats the headword.
// Four bytes, as a dictionary read where it lies keeps one for each of its records: an index
// that the readers accept has far fewer than 2^31 articles.
struct ArticlePart
{
    std::uint32_t article : 31; // position in SourceData::articles
    std::uint32_t dropFirstLine : 1;

    bool operator==(const ArticlePart &other) const
    {
        return article == other.article && dropFirstLine == other.dropFirstLine;
    }
};

// One index record as written: the headword and its article, in the dictionary's encoding.
struct BuiltEntry
{
    std::string headword;
    std::string key; // the headword upper-cased: the sort order and what a lookup compares
    std::string article;
    std::vector<ArticlePart> parts; // what the article is made of, in this order
};

constexpr std::size_t MAX_HEADWORD = 199;
constexpr std::size_t MAX_ARTICLE = 99999;
// One attribute line is read 99 UTF-16 units at a time; a longer one would be split.
constexpr std::size_t MAX_ATTRIBUTE_LINE = 99;

// Converts, cleans and sorts the source's entries into index order. In Windows-1251 a character
// it lacks skips a headword and becomes '?' in an article, and an article's lines are joined; in
// UTF-8 nothing is lost, and line ends become stored line breaks. Headwords
// and articles are limited to MAX_HEADWORD and MAX_ARTICLE characters.
std::vector<BuiltEntry> PrepareEntries(const SourceData &data, Duplicates duplicates,
    DictionaryEncoding encoding, BuildReport &report);

// The records PrepareEntries makes, without their articles, whose parts are all in one array:
// record i's are parts[partStart[i]..partStart[i + 1]).
struct PreparedRecords
{
    std::vector<std::string> headwords; // PrepareEntries' alone
    std::vector<std::string> keys; // PrepareEntries' alone
    // PrepareRecords' headwords instead, in one text: record i's starts at headwordStart[i] and
    // ends in a zero byte.
    std::string headwordText;
    std::vector<std::size_t> headwordStart;
    std::vector<ArticlePart> parts;
    std::vector<std::uint32_t> partStart;
};

// The same records, their parts only and without their keys, the report's notes leaving out
// the merged entries (counted all the same): the source's articles need then hold no more than
// their first lines (which a dictd headword may take its spelling from).
PreparedRecords PrepareRecords(const SourceData &data, Duplicates duplicates,
    DictionaryEncoding encoding, BuildReport &report);

// PrepareRecords of a dictd source read without its articles' text (ReadDictdEntries) into a UTF-8
// dictionary that merges duplicates, the records made as the index is read. data receives what
// ReadSource gives but the entries. settled is false when the index alone does not settle the
// records: a headword with yo, whose ye spelling's article line is compared, or one not in ASCII
// where the source does not say it is UTF-8; they are then made from the articles' first lines.
bool PrepareDictdRecords(const std::string &path, SourceData &data, PreparedRecords &records,
    BuildReport &report, bool &settled, std::string &error);

// A source article in the dictionary's encoding; unmapped counts the characters Windows-1251
// lacks.
std::string ConvertedArticle(
    const std::string &text, bool sourceUtf8, DictionaryEncoding encoding, std::size_t &unmapped);

// A record's article from its parts, source giving each source article converted: each part on
// one line, the different ones joined with " | ", the whole cut to MAX_ARTICLE characters.
// characters receives its length before the cut.
std::string ComposeArticle(const std::vector<ArticlePart> &parts,
    const std::function<std::string(std::uint32_t)> &source, DictionaryEncoding encoding,
    std::size_t &characters);
// The same for a record of one part, its source article given, made into text, whose room is kept.
void ComposeArticle(ArticlePart part, std::string_view source, DictionaryEncoding encoding,
    std::string &text, std::size_t &characters);

// True when an article of the source has more than one line of text: such a source makes a UTF-8
// dictionary, which keeps the lines.
bool ArticlesHaveLines(const SourceData &data);

// True when every character of the source's headwords and articles, Russian stress marks
// aside, has a Windows-1251 counterpart.
bool FitsWindows1251(const SourceData &data);

// The value as an attribute value, UTF-8 as the attribute file's UTF-16 holds every character:
// bytes that are not UTF-8 become U+FFFD, line ends become spaces and the ends are trimmed, as
// the loader would trim them. False when key=value would not fit one attribute line; with cut
// the value is shortened to fit instead, never inside a character.
bool MakeAttributeValue(
    const std::string &key, const std::string &utf8, bool cut, std::string &value);

// Upper-cased as the dictionary's lookups compare: ToUpper in Windows-1251, Unicode's simple
// mapping in UTF-8.
std::string DictionaryUpper(const std::string &text, DictionaryEncoding encoding);

#endif // STORAGE_SOURCE_ENTRIES_H
