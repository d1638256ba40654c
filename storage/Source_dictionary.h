#ifndef STORAGE_SOURCE_DICTIONARY_H
#define STORAGE_SOURCE_DICTIONARY_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "storage/Dictionary_index.h"
#include "storage/Dictzip_file.h"
#include "storage/Source_cache.h"
#include "storage/Source_entries.h"
#include "storage/Source_reader.h"

// An installed dictd or StarDict dictionary read where it lies, as kalvora-mkdic would convert
// it to UTF-8: the same records in the same order, each article made by the same rules when it
// is asked for. Only the index and the records' parts are held; articles are read from the data
// file through its own reader.
//
// A dictd source is opened from its index alone: what its articles decide (a headword spelled as
// its article's first line spells it, that line then dropped, and whether the text is UTF-8) is
// settled for each record when it is first read, so that opening inflates nothing.
class SourceDictionary
{
public:
    // path names a dictd .index or a StarDict .ifo. False with a reason naming the file. With a
    // cache folder, what reading the source makes is kept there between runs (Source_cache).
    bool Open(const std::string &path, std::string &error, const std::string &cacheFolder = "");
    // Whether Open took its records from the cache.
    bool FromCache() const { return fromCache; }

    // Moves the records' index into loaded, which must outlive the reads: it gives each record's
    // headword as the source's index spells it. Call once, after Open.
    void LoadIndex(DictionaryIndex &loaded);
    std::uint32_t RecordCount() const { return parts.Records(); }
    // Whether Headword may spell a record otherwise than the index does.
    bool SpellsFromArticles() const { return linesUndecided; }
    // The record's headword, given indexed, its spelling in the index: the same or the spelling
    // of its article's first line. Safe to call from several threads.
    std::string Headword(std::uint32_t record, std::string indexed) const;
    // Settles every record's spelling at once, reading the data file front to back rather than
    // each article where it lies: for a caller about to ask for every headword. Safe to call from
    // several threads.
    void SpellAll() const;
    // The record's article, UTF-8, as the converted dictionary's data file holds it. False with a
    // reason naming the file when the data cannot be read; text is then empty. Safe to call
    // from several threads: reads take turns.
    bool Article(std::uint32_t record, std::string &text, std::string &error);
    // The same through a reader of the caller's (a search's own, for instance).
    bool Article(DictzipFile &reader, std::uint32_t record, std::string &text, std::string &error,
        std::string &skippedTypes) const;
    // What a pass over the data file keeps of the parts it was asked to read besides its
    // records: each part's text, made, or none when it could not be read, and whether the sifting
    // let it through.
    struct KeptParts
    {
        std::unordered_map<std::uint32_t, std::optional<std::string>> texts;
        std::unordered_map<std::uint32_t, bool> accepted;
    };
    using Take = std::function<void(std::size_t, bool, const std::string &)>;
    using MayHold = std::function<bool(const std::string &)>;
    // Records or parts, each with its place in the data file, in the order of their places.
    using Placed = std::vector<std::pair<std::uint64_t, std::uint32_t>>;
    // Whether the record's parts lie so near one another that the reader's chunks still hold
    // the others when its first is read: such a record is made as a pass reaches it. place is
    // then where its first part lies (0 for one at or beyond RecordCount).
    bool NearPlace(std::uint32_t record, std::uint64_t &place) const;
    // The parts of records, each once.
    Placed PartsOf(const std::vector<std::uint32_t> &records) const;
    // Reads the data file front to back through reader: records (each NearPlace, or at or
    // beyond RecordCount, which makes an empty text) are made as Article makes them and handed
    // to take with their position in records and whether they could be read; the parts extra
    // are kept in kept. False when cancel stopped it.
    //
    // With mayHold, a record none of whose parts it accepts, given each part as the source gives
    // it before the text rules (a StarDict one's fields decoded), is passed over unmade.
    //
    // With takeOne, a record that can be read is first handed to it unmade: its first part,
    // whether that part's first line goes settled, the part's article converted, and whether
    // that part is the record's only one. The record's text begins with what ComposeArticle makes
    // of that part. It returns whether it took the record; it must take a record of one part.
    using TakeOne = std::function<bool(std::size_t, ArticlePart, const std::string &, bool)>;
    bool ReadPass(DictzipFile &reader, const Placed &records, const Placed &extra, const Take &take,
        const std::atomic<bool> &cancel, std::string &skippedTypes, KeptParts &kept,
        const MayHold &mayHold = nullptr, const TakeOne &takeOne = nullptr) const;
    // Makes records, whose parts passes have kept, as ReadPass makes its own.
    void MakeKept(const std::vector<std::uint32_t> &records, const KeptParts &kept,
        const Take &take, const TakeOne &takeOne = nullptr) const;
    // Where the record's first part lies in the data file: reading records in this order reads
    // the file front to back.
    std::uint64_t RecordPlace(std::uint32_t record) const;

    const std::string &Title() const { return data.title; }
    const std::string &Origin() const { return data.origin; }
    const std::string &DataPath() const { return data.dataPath; }
    // Which markup the articles carry.
    ArticleMarkup Markup() const { return data.markup; }
    std::uint64_t DataSize() const { return file.Size(); }
    // StarDict field types met so far that hold no text.
    const std::string &SkippedTypes() const { return skippedTypes; }
    // Heap bytes held besides the index: the articles' places, the records' parts and the
    // headwords' own spellings.
    struct HeapFigures
    {
        std::size_t places = 0, parts = 0, spellings = 0;
    };
    HeapFigures Heap() const;

private:
    // The record's article from its parts, read gives each part's article converted.
    bool Compose(std::uint32_t record,
        const std::function<bool(std::uint32_t, std::string &)> &read, std::string &text,
        std::string &error) const;
    // A source article as read and as converted to UTF-8.
    bool ReadArticle(DictzipFile &reader, std::uint32_t article, std::string &raw,
        std::string &converted, std::string &skipped, std::string &error) const;
    // A source article as read converted to UTF-8.
    bool Convert(const std::string &raw, std::string &converted, std::string &error) const;
    // Whether the source's text is UTF-8; decided by reading every article when the source
    // does not say and a text beyond ASCII needs it.
    bool SourceUtf8(bool &utf8, std::string &error) const;
    // Settles the record's spelling in spellingAt, under reading; false when its article cannot
    // be read.
    bool Spell(std::uint32_t record, const std::string &indexed) const;
    // Makes the record through read, noting its first part's first line, trimmed, in firstLines
    // when its spelling is still to be settled.
    bool Make(std::uint32_t record, const std::function<bool(std::uint32_t, std::string &)> &read,
        std::string &text, std::string &error,
        std::vector<std::pair<std::uint32_t, std::string>> &firstLines) const;
    // Under reading: settles the record's spelling by its article's first line, trimmed.
    void Settle(std::uint32_t record, const std::string &indexed, const std::string &first) const;
    // Settles the spellings of the records not settled yet by their first lines, each given
    // with its record.
    void SettleFrom(const std::vector<std::pair<std::uint32_t, std::string>> &firstLines) const;
    // Under reading: false once every spelling is settled and held packed; otherwise makes sure
    // each record has its slot for one.
    bool SpellingsOpen() const;
    // Under reading: writes the cache again with the spellings once every record's is settled.
    void KeepSpellings() const;
    // Whether a dictd article's first line spells the headword, letter case aside.
    bool RepeatsHeadword(const std::string &converted, const std::string &headword) const;

    SourceData data; // without the articles' text
    // The records' index until LoadIndex takes it, each record's offset being its number.
    DictionaryIndex heldIndex;
    RecordParts parts;
    mutable std::mutex reading;
    mutable DictzipFile file; // under reading
    std::string skippedTypes;
    bool fromCache = false;

    // Whether the first lines are still to be looked at (a dictd source opened from its index).
    bool linesUndecided = false;
    const DictionaryIndex *index = nullptr;
    // Under reading: for each record, 0 when its spelling is not known yet, 1 for the index's,
    // else 2 + where the first line's spelling starts in spellings.
    mutable std::vector<std::uint32_t> spellingAt;
    // The same once every record's is settled, packed; spellingAt is then empty.
    mutable PackedNumbers settledAt;
    mutable std::string spellings;
    mutable std::uint32_t spelled = 0; // records whose spelling is settled
    // Where the cache is, to keep the spellings once every record's is settled; empty once kept.
    mutable std::string cachePath;
    std::string stamp;
    // Encoding: 0 undecided, 1 UTF-8, 2 Windows-1251, 3 the data could not be read to decide.
    mutable std::atomic<int> encoding{0};
    mutable std::mutex deciding;
    mutable std::string decideError;
};

#endif // STORAGE_SOURCE_DICTIONARY_H
