#ifndef STORAGE_SOURCE_DICTIONARY_H
#define STORAGE_SOURCE_DICTIONARY_H

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "storage/Dictzip_file.h"
#include "storage/Source_entries.h"
#include "storage/Source_reader.h"

// An installed dictd or StarDict dictionary read where it lies, as kalvora-mkdic would convert
// it to UTF-8: the same records in the same order, each article made by the same rules when it
// is asked for. Only the index and the records' parts are held; articles are read from the data
// file through its own reader.
class SourceDictionary
{
public:
    // path names a dictd .index or a StarDict .ifo. False with a reason naming the file. With a
    // cache folder, what reading the source makes is kept there between runs (Source_cache).
    bool Open(const std::string &path, std::string &error, const std::string &cacheFolder = "");
    // Whether Open took its records from the cache.
    bool FromCache() const { return fromCache; }

    // The index as a UTF-8 index file would hold it, each record's offset being its number;
    // handed over once.
    std::string TakeIndexText() { return std::move(indexText); }
    std::uint32_t RecordCount() const { return static_cast<std::uint32_t>(partStart.size() - 1); }
    // The record's article, UTF-8, as the converted dictionary's data file holds it. False with a
    // reason naming the file when the data cannot be read; text is then empty. Safe to call
    // from several threads: reads take turns.
    bool Article(std::uint32_t record, std::string &text, std::string &error);
    // The same through a reader of the caller's (a search's own, for instance).
    bool Article(DictzipFile &reader, std::uint32_t record, std::string &text, std::string &error,
        std::string &skippedTypes) const;
    // Where the record's first part lies in the data file: reading records in this order reads
    // the file front to back.
    std::uint64_t RecordPlace(std::uint32_t record) const;

    const std::string &Title() const { return data.title; }
    const std::string &Origin() const { return data.origin; }
    const std::string &DataPath() const { return data.dataPath; }
    std::uint64_t DataSize() const { return file.Size(); }
    // StarDict field types met so far that hold no text.
    const std::string &SkippedTypes() const { return skippedTypes; }

private:
    SourceData data; // without the articles' text
    std::string indexText;
    std::vector<std::uint32_t> partStart{0}; // record i's parts are parts[partStart[i]..[i+1])
    std::vector<ArticlePart> parts;
    std::mutex reading;
    DictzipFile file;
    std::string skippedTypes;
    bool fromCache = false;
};

#endif // STORAGE_SOURCE_DICTIONARY_H
