#ifndef STORAGE_DATABASE_H
#define STORAGE_DATABASE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/Article_file.h"
#include "storage/Article_markup.h"
#include "storage/Attribute_file.h"
#include "storage/Dictionary_index.h"

class SourceDictionary;

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

// The files of a dictionary folder P: N.inf (attributes), N.idx (index) and N.dat (articles), N
// being the last component of P. Every reader and writer of a dictionary names them here.
struct DictionaryFiles
{
    explicit DictionaryFiles(const std::string &folderPath);

    std::string folderName; // N
    std::string attributes;
    std::string index;
    std::string data;
};

// One dictionary folder. The files hold Windows-1251 or, when the attribute file's ENCODING says
// so, UTF-8; what goes in and out of the operations below is UTF-8 either way, apart from the
// raw bytes of the data file, which are the only way to it.
class Dictionary
{
public:
    explicit Dictionary(std::string folderPath);
    // An installed dictd (.index) or StarDict (.ifo) dictionary read where it lies, under this id.
    // It reads as kalvora-mkdic would convert it to UTF-8; its folder name is the stable name
    // InstalledName gives.
    Dictionary(std::string sourcePath, std::uint32_t id, std::string cacheFolder = "");
    Dictionary(const Dictionary &) = delete;
    Dictionary &operator=(const Dictionary &) = delete;
    ~Dictionary();

    // True when the three files exist; logs the first one missing.
    static bool PreLoadCheck(std::string folderPath);
    // Reads the attributes and the index and opens the data file. A failure is logged (under
    // "Dictionary::Load" for a corrupt or unreadable file) and the object must then be discarded.
    bool Load();

    std::uint32_t GetId() const { return attributes.dicId; }
    // Why Load failed, in words for the user (Russian, with the logged detail); empty before.
    const std::string &LoadError() const { return loadError; }
    // The installed dictionary's .index or .ifo; empty for a dictionary folder.
    const std::string &GetSourcePath() const { return sourcePath; }
    // For the search inside articles of an installed dictionary; null for a dictionary folder.
    SourceDictionary *GetSource() const { return source.get(); }
    const DictionaryAttributes &GetAttributes() const { return attributes; }
    const std::string &GetFolderName() const { return files.folderName; }
    // How the files hold their text, as the attributes named it at load.
    DictionaryEncoding Encoding() const { return encoding; }
    // Which markup the articles carry, as the attributes named it at load.
    ArticleMarkup Markup() const { return markup; }

    std::uint32_t GetWordCount() const;
    // The headword without leading and trailing blanks and control characters; empty for an
    // index outside the dictionary.
    std::string GetWord(std::int32_t i) const;
    // Words first to last - 1 as GetWord gives them, those outside the dictionary left out: for
    // the word list, which takes 200 at a time.
    void GetWords(std::int32_t first, std::int32_t last, WordRange &words) const;
    // For a caller about to ask for every headword: an installed dictionary that spells its
    // headwords from its articles reads them all in one pass rather than one by one.
    void PrepareAllWords() const;
    // The article line of word i (CR LF or LF removed, at most 99999 characters); empty for an
    // index outside the dictionary or an offset outside the data file.
    std::string GetArticle(std::int32_t i);
    // Longest-prefix search. matchedLength is -1 for an exact match, else the number of leading
    // characters shared; it is left unwritten when the query's first letter has no block (or,
    // in Windows-1251, no byte).
    bool FindWord(
        const std::string &query, std::uint32_t &position, std::int32_t &matchedLength) const;

    // For the search inside articles: where word i's article starts in the data file as the
    // index gives it (i inside the dictionary).
    std::int32_t GetArticleOffset(std::int32_t i) const
    {
        return index.GetOffset(static_cast<std::size_t>(i));
    }
    // The data file's raw bytes, from any thread: see ArticleFile.
    std::size_t ReadData(std::uint64_t offset, char *buffer, std::size_t length) const
    {
        return articles.ReadBytes(offset, buffer, length);
    }
    // An installed dictionary's data file is read through its own reader: its size is that of
    // its text, and a change shows as an article that cannot be read.
    std::uint64_t DataSize() const;
    bool DataChanged() const { return !source && articles.Changed(); }

private:
    void LoadAttributes();
    void LoadIndexFile();
    bool LoadSource();
    void MakeArticleSpans();

    std::string sourcePath;
    std::string cacheFolder;
    std::unique_ptr<SourceDictionary> source;
    DictionaryFiles files;
    ArticleFile articles;
    DictionaryIndex index;
    // How far each article's start is from the next article's in the data file (or the file's
    // end), 0 when that is too far to say where the article ends; made at the first article read.
    // One read then takes the article's bytes.
    std::vector<std::uint16_t> articleSpans;
    DictionaryAttributes attributes;
    DictionaryEncoding encoding = DictionaryEncoding::Cp1251;
    ArticleMarkup markup = ArticleMarkup::None;
    std::string loadError;
};

// A dictionary that was found but not loaded: its folder name (or InstalledName), its folder or
// file, and why, in words for the user.
struct LoadFailure
{
    std::string name;
    std::string path;
    std::string reason;
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

    // For a database made with dicsFolder alone before the program folder was known to be this
    // process's: from now on it is, and its temporary folder is removed here and by the
    // destructor as the constructor would have. Call while no load runs.
    void TakeProgramFolder(std::string folder);

    // Folder names to load first, in this order (from DIC_ORDER).
    void SetOrder(std::vector<std::string> names);
    // Another folder of dictionary folders, scanned after the program's own (a user's data
    // folder when the program folder belongs to the system). Call before Load.
    void AddDictionaryFolder(std::string folder);
    // Installed dictd and StarDict dictionaries to read after the dictionary folders: .index and
    // .ifo files, or folders searched for them (FindSources). Call before Load.
    void AddSources(std::vector<std::string> paths);
    // Where the installed dictionaries keep what reading them makes (SourceCacheFolder); none
    // unless set.
    void SetSourceCache(std::string folder) { sourceCache = std::move(folder); }
    void Load();
    // Installed dictionaries read after Load, at once: .index and .ifo files or folders of them.
    // What is loaded already, by whatever path, is not read again and is counted in
    // alreadyLoaded when given. Returns how many were added; a failure is kept in Failures like
    // the others.
    std::int32_t LoadSources(
        const std::vector<std::string> &paths, std::int32_t *alreadyLoaded = nullptr);
    // Drops the installed dictionaries read from path (the file itself, or the files under the
    // folder). They are kept alive, unreachable, until the database goes, as another thread (a
    // search) may still be reading them. Returns how many were dropped.
    std::int32_t RemoveSources(const std::string &path);
    // What Load and LoadSources found and could not load, in the order met.
    const std::vector<LoadFailure> &Failures() const { return failures; }
    // Where Load looked: the dictionary folders' roots, then the installed dictionaries' paths.
    std::vector<std::string> SearchedFolders() const;

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

private:
    struct Candidate
    {
        std::string path; // of the dictionary folder, or the installed dictionary's file
        std::string name; // its last component, as DIC_ORDER names it (InstalledName)
        bool installed = false;
    };
    bool IsConvertedCopy(const Dictionary &installed) const;
    void LoadOne(const Candidate &candidate, std::int32_t total, std::int32_t &done);
    void RemoveTemporaryFolder() const;
    std::string DictionaryRoot() const;

    std::string programFolder;
    std::string dicsFolder;
    std::vector<std::string> extraFolders;
    std::vector<std::string> sourcePaths;
    std::string sourceCache;
    std::vector<std::unique_ptr<Dictionary>> dictionaries;
    std::vector<std::unique_ptr<Dictionary>> dropped;
    std::vector<LoadFailure> failures;
    std::vector<std::string> loadOrder;
    IDictionaryLoadObserver *observer;
};

#endif // STORAGE_DATABASE_H
