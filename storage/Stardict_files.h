#ifndef STORAGE_STARDICT_FILES_H
#define STORAGE_STARDICT_FILES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/Article_markup.h"

// What a StarDict .ifo file says.
struct StarDictInfo
{
    std::string version; // 2.4.2 or 3.0.0
    std::uint64_t wordCount = 0;
    std::uint64_t synWordCount = 0;
    bool hasIdxFileSize = false;
    std::uint64_t idxFileSize = 0; // of the uncompressed .idx
    unsigned offsetBytes = 4; // of an offset in the .idx: idxoffsetbits / 8
    std::string bookName;
    std::string website;
    std::string author;
    std::string sameTypeSequence;
};

// False with a reason when the text is no .ifo file, names a version or offset size that does
// not exist, or lacks a word count.
bool ParseIfo(std::string text, StarDictInfo &info, std::string &reason);

// One record of the .idx: the headword and where its article lies in the .dict.
struct StarDictWord
{
    std::string_view headword;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};

// The records of an .idx (views into idx). False with a reason when a record is cut off; the
// records before it are kept.
bool ParseIdx(std::string_view idx, unsigned offsetBytes, std::vector<StarDictWord> &words,
    std::string &reason);

// One record of the .syn: another headword of the word at this place in the .idx.
struct StarDictSynonym
{
    std::string_view headword;
    std::uint32_t word = 0;
};

// The records of a .syn. False with a reason when one is cut off or names a word at or beyond
// wordCount; the records before it are kept.
bool ParseSyn(std::string_view syn, std::uint64_t wordCount, std::vector<StarDictSynonym> &synonyms,
    std::string &reason);

// The text types an article uses, each once in the order met: those of the same-type sequence,
// or those an article typed field by field names (up to a field that runs past its end).
std::string StarDictTextTypes(std::string_view data, const std::string &sequence);

// The markup a dictionary's stored articles carry, given its text types: tags of one kind keep
// that kind (HTML, else XDXF, else Pango when it mixes them), text alone is plain.
ArticleMarkup StarDictMarkup(const std::string &types);

// An article's fields as text in markup (StarDictMarkup's), one field a line: plain text (m),
// phonetics (t, in brackets), readings (y) as they are, with their <, > and & escaped when the
// markup is tags; a field of the markup's own kind (Pango g, XDXF x, HTML h) with its tags. A
// field of other tags is reduced to its text. Other types, pictures and sounds among them, give
// nothing, and their letters are added to skipped once each. Fields are either typed one by one
// or, with a same-type sequence, typed once for the whole dictionary; the last field then runs
// to the article's end. False when a field runs past the article's end.
bool DecodeStarDictArticle(std::string_view data, const std::string &sequence, ArticleMarkup markup,
    std::string &text, std::string &skipped);

#endif // STORAGE_STARDICT_FILES_H
