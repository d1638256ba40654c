#ifndef STORAGE_SOURCE_CACHE_H
#define STORAGE_SOURCE_CACHE_H

#include <cstdint>
#include <string>
#include <vector>

#include "storage/Dictionary_index.h"
#include "storage/Source_entries.h"
#include "storage/Source_reader.h"

// What reading an installed dictionary makes, kept between runs so that the next start need not
// read and sort the source again, nor take its index apart.
struct SourceSortResult
{
    SourceData data; // without the articles' text
    std::vector<std::uint32_t> partStart;
    std::vector<ArticlePart> parts;
    // A dictd source read from its index alone: its articles' first lines are still to be
    // looked at (SourceDictionary).
    bool linesUndecided = false;
    // The records' index, entry i's offset being i.
    DictionaryIndex index;
    // A dictd source's headwords as its articles' first lines spell them, once every record's
    // is settled (SourceDictionary::Headword): empty, or for each record 1 for the index's
    // spelling, else 2 + where its own starts in spellings, each ending in a zero byte.
    std::vector<std::uint32_t> spellingAt;
    std::string spellings;
};

// The files a source is made of, with their sizes and modification times: a cache holds this
// text and is used only while the files still give it.
std::string SourceStamp(const std::string &sourcePath);

// The cache file of a source in folder.
std::string SourceCachePath(const std::string &folder, const std::string &sourcePath);

// Reads the cache; false when it is missing, for other files or another stamp, damaged (its
// checksum or its structure is wrong) or of another version. Nothing of it is trusted before.
bool ReadSourceCache(
    const std::string &cachePath, const std::string &stamp, SourceSortResult &sorted);

// Writes the cache whole or not at all (a temporary file renamed over it), making the folder.
// The index must hold one entry per record, entry i's offset being i.
bool WriteSourceCache(const std::string &cachePath, const std::string &stamp,
    const SourceData &data, const std::vector<std::uint32_t> &partStart,
    const std::vector<ArticlePart> &parts, bool linesUndecided, const DictionaryIndex &index,
    const std::vector<std::uint32_t> &spellingAt = {}, const std::string &spellings = "");

#endif // STORAGE_SOURCE_CACHE_H
