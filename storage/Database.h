#ifndef STORAGE_DATABASE_H
#define STORAGE_DATABASE_H

#include <array>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A word of one dictionary. Id 0 or index -1 names no word.
struct WordPosition
{
    std::uint32_t dicId = 0;
    std::int32_t index = 0;

    bool IsNone() const { return dicId == 0 || index == -1; }
};

// Told by Database::Load what it is doing; implemented by the main window.
class IDictionaryLoadObserver
{
public:
    virtual ~IDictionaryLoadObserver() = default;
    // A dictionary folder with this name is about to be loaded.
    virtual void OnDictionaryLoading(std::string name) = 0;
    // done of total candidate folders have been handled.
    virtual void OnLoadProgress(std::int32_t total, std::int32_t done) = 0;
};

struct DictionaryAttributes
{
    std::int32_t formatVersionMajor = 0;
    std::int32_t formatVersionMinor = 0;
    std::string encoding;
    std::uint32_t dicId = 0;
    std::int32_t dicVersionMajor = 0;
    std::int32_t dicVersionMinor = 0;
    std::string category;
    std::string shortName;
    std::string longName;
    std::string source;
};

// Bytes that are filled without being cleared first and given back without being copied: a
// dictionary's index is read into one and its headwords gathered at the front.
class ByteArena
{
public:
    // The contents are whatever the memory held.
    void Allocate(std::size_t size);
    // Keeps the first size bytes and returns the rest to the allocator, in place.
    void Shrink(std::size_t size);

    char *data() { return bytes.get(); }
    const char *data() const { return bytes.get(); }
    std::size_t size() const { return length; }
    char &operator[](std::size_t i) { return bytes.get()[i]; }
    char operator[](std::size_t i) const { return bytes.get()[i]; }

private:
    struct Free
    {
        void operator()(char *memory) const;
    };
    std::unique_ptr<char, Free> bytes;
    std::size_t length = 0;
};

// One dictionary folder P holding N.inf (attributes), N.idx (index) and N.dat (articles), N being
// the last component of P. Text is Windows-1251 throughout.
class Dictionary
{
public:
    explicit Dictionary(std::string folderPath);
    Dictionary(const Dictionary &) = delete;
    Dictionary &operator=(const Dictionary &) = delete;
    ~Dictionary();

    // True when the three files exist; logs the first one missing.
    static bool PreLoadCheck(std::string folderPath);
    // Reads the attributes and the index and opens the data file. A failure is logged (under
    // "Dictionary::Load" for a corrupt or unreadable file) and the object must then be discarded.
    bool Load();

    std::uint32_t GetId() const { return attributes.dicId; }
    const DictionaryAttributes &GetAttributes() const { return attributes; }
    const std::string &GetFolderName() const { return folderName; }

    std::uint32_t GetWordCount() const;
    // The headword without leading and trailing bytes up to 0x20; empty for an index outside
    // the dictionary.
    std::string GetWord(std::int32_t i) const;
    // The article line of word i (CR LF or LF removed, at most 99999 bytes); empty for an index
    // outside the dictionary or an offset outside the data file.
    std::string GetArticle(std::int32_t i);
    // Longest-prefix search. matchedLength is -1 for an exact match, else the number of leading
    // characters shared; it is left unwritten when the query's first letter has no block.
    bool FindWord(std::string query, std::uint32_t &position, std::int32_t &matchedLength) const;

private:
    struct Scan;
    // The last run of headwords stored with one first byte: where it ends, and whether it is in
    // the order of the trimmed, upper-cased headwords (then it can be searched by halves).
    struct LetterRun
    {
        std::int32_t end = 0;
        bool sorted = false;
    };

    void LoadAttributes();
    void LoadIndexFile();
    // Entry i's headword without the blanks and control bytes at either end, in place.
    std::pair<const char *, std::size_t> TrimmedHeadword(std::size_t i) const;
    bool ScanEntry(std::size_t j, const std::string &query, Scan &scan) const;
    bool SearchSortedRun(
        const std::string &query, std::size_t begin, std::size_t end, Scan &scan) const;
    // First entry in [begin, end) whose trimmed, upper-cased headword is not below text.
    std::size_t LowerBound(
        std::size_t begin, std::size_t end, const char *text, std::size_t length) const;

    struct IndexEntry
    {
        std::uint32_t headword; // start of the zero-terminated headword in headwordArena
        std::int32_t offset; // of the article in the data file
    };

    std::string dataPath;
    std::string indexPath;
    std::string infoPath;
    std::string folderName;
    std::int32_t articleBufferSize = 100000;
    std::vector<char> articleBuffer;
    std::ifstream dataStream;
    ByteArena headwordArena;
    std::vector<IndexEntry> entries;
    DictionaryAttributes attributes;
    std::map<unsigned char, std::int32_t> letterIndex;
    std::array<LetterRun, 256> letterRuns{};
    // Entries whose trimmed, upper-cased headword begins otherwise than the stored byte (small
    // first letters, leading blanks), ascending: the only ones a scan past its run can match.
    std::vector<std::uint32_t> oddEntries;
};

// Every loaded dictionary, in consultation order, and the only way to reach them.
class Database
{
public:
    // programFolder holds "dics" and "data/temp"; a missing trailing "/" is added. The temporary
    // folder is emptied and removed here and again by the destructor. dicsFolder, when given,
    // replaces programFolder + "dics" as the folder scanned; an empty programFolder then means
    // no temporary folder is touched at all (for tools pointed at any folder).
    Database(std::string programFolder, IDictionaryLoadObserver *observer,
        std::string dicsFolder = std::string());
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    ~Database();

    // Folder names to load first, in this order (from DIC_ORDER).
    void SetOrder(std::vector<std::string> names);
    // Another folder of dictionary folders, scanned after the program's own (a user's data
    // folder when the program folder belongs to the system). Call before Load.
    void AddDictionaryFolder(std::string folder);
    void Load();

    std::int32_t GetCount() const;
    Dictionary *GetDictionary(std::int32_t i) const;
    std::int32_t IndexOfId(std::uint32_t id) const;
    Dictionary *FindById(std::uint32_t id) const;
    // The named dictionaries first, in this order; the rest keep their order. Unknown ids are
    // skipped.
    void Reorder(std::vector<std::uint32_t> ids);

    // id 0 searches every dictionary: the first exact match wins, else the longest shared
    // beginning, earlier dictionaries winning ties. Not found leaves position (0, 0) and does
    // not write matchedLength. An id no dictionary has finds nothing.
    bool Find(std::uint32_t id, std::string query, WordPosition &position,
        std::int32_t *matchedLength = nullptr) const;
    // Empty for a position naming no loaded dictionary's word.
    std::string GetWord(WordPosition position) const;
    std::string GetArticle(WordPosition position) const;

    const std::string &GetProgramFolder() const { return programFolder; }

private:
    struct Candidate
    {
        std::string path; // of the dictionary folder
        std::string name; // its last component, as DIC_ORDER names it
    };
    void LoadOne(const Candidate &candidate, std::int32_t total, std::int32_t &done);
    void RemoveTemporaryFolder() const;
    std::string DictionaryRoot() const;

    std::string programFolder;
    std::string dicsFolder;
    std::vector<std::string> extraFolders;
    std::vector<std::unique_ptr<Dictionary>> dictionaries;
    std::vector<std::string> loadOrder;
    IDictionaryLoadObserver *observer;
};

#endif // STORAGE_DATABASE_H
