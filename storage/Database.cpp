#include "Database.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "storage/Installed_sources.h"
#include "storage/Plain_file.h"
#include "storage/Source_dictionary.h"
#include "support/Log_file.h"
#include "support/Utils.h"

namespace {

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

// How a failed load's reason begins; the logged detail follows.
const std::string DAMAGED = "файл повреждён или не читается: ";

std::string IdText(std::uint32_t id)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(id));
    return text;
}

// Why a folder of the dictionary root that PreLoadCheck turned down is no dictionary; empty for
// a folder that holds none of a dictionary's files, which is no dictionary at all rather than a
// damaged one.
std::string WhyNotADictionary(const std::string &path)
{
    std::error_code error;
    if (!std::filesystem::is_directory(path, error))
        return std::string();
    std::filesystem::directory_iterator(path, error);
    if (error)
        return "папка не читается";
    const DictionaryFiles files(path);
    std::string missing;
    bool any = false;
    for (const std::string *file : {&files.attributes, &files.index, &files.data}) {
        if (Exists(*file))
            any = true;
        else
            missing += (missing.empty() ? "нет файла " : ", ") + *file;
    }
    return any ? missing : std::string();
}

// Installed dictionaries' folders that could not be read are shown with the failures.
void AddUnreadable(std::vector<LoadFailure> &failures, const std::vector<std::string> &folders)
{
    for (const std::string &folder : folders)
        failures.push_back({InstalledName(folder), folder, "папка не читается"});
}

} // namespace

DictionaryFiles::DictionaryFiles(const std::string &folderPath)
{
    std::size_t nameStart = folderPath.size();
    while (nameStart > 0 && !IsSeparator(folderPath[nameStart - 1]))
        --nameStart;
    folderName = folderPath.substr(nameStart);
    std::string base = folderPath;
    if (base.empty() || !IsSeparator(base.back()))
        base += '/';
    base += folderName;
    attributes = base + ".inf";
    index = base + ".idx";
    data = base + ".dat";
}

Dictionary::Dictionary(std::string folderPath)
    : files(folderPath)
{
}

Dictionary::Dictionary(std::string sourcePath, std::uint32_t id, std::string cacheFolder)
    : sourcePath(std::move(sourcePath))
    , cacheFolder(std::move(cacheFolder))
    , files(std::string())
{
    files.folderName = InstalledName(this->sourcePath);
    attributes.dicId = id;
}

Dictionary::~Dictionary() = default;

bool Dictionary::PreLoadCheck(std::string folderPath)
{
    const DictionaryFiles files(folderPath);
    const std::pair<const std::string *, const char *> checks[] = {
        {&files.data, "dic data file=%s not found"},
        {&files.index, "dic index file=%s not found"},
        {&files.attributes, "dic info file=%s not found"},
    };
    for (const auto &[path, message] : checks) {
        if (!Exists(*path)) {
            logFile.WriteHeader(LOG_WARNING, "Dictionary::PreLoadCheck");
            logFile.Printf(message, path->c_str());
            return false;
        }
    }
    return true;
}

bool Dictionary::Load()
{
    if (!sourcePath.empty())
        return LoadSource();
    try {
        LoadAttributes();
        LoadIndexFile();
    } catch (const VoException &exception) {
        logFile.WriteHeader(LOG_ERROR, "Dictionary::Load");
        logFile.Printf("%s", ErrorText(exception).c_str());
        loadError = DAMAGED + ErrorText(exception);
        return false;
    }
    if (!articles.Open(files.data, encoding)) {
        loadError = DAMAGED + files.data;
        return false;
    }
    return true;
}

bool Dictionary::LoadSource()
{
    auto opened = std::make_unique<SourceDictionary>();
    std::string error;
    if (!opened->Open(sourcePath, error, cacheFolder)) {
        logFile.WriteHeader(LOG_ERROR, "Dictionary::Load");
        logFile.Printf("%s", error.c_str());
        loadError = DAMAGED + error;
        return false;
    }
    if (!opened->SkippedTypes().empty()) {
        logFile.WriteHeader(LOG_WARNING, "Dictionary::Load");
        logFile.Printf("%s: fields of type %s hold no text and are left out", sourcePath.c_str(),
            opened->SkippedTypes().c_str());
    }
    opened->LoadIndex(index);
    attributes.encoding = "UTF-8";
    encoding = DictionaryEncoding::Utf8;
    attributes.category = "EXP";
    attributes.longName = opened->Title().empty() ? files.folderName : opened->Title();
    attributes.shortName = ButtonName(opened->Title(), sourcePath);
    attributes.source = opened->Origin();
    markup = opened->Markup();
    attributes.markup = MarkupName(markup);
    source = std::move(opened);
    return true;
}

void Dictionary::LoadAttributes()
{
    ReadAttributeFile(files.attributes, attributes);
    encoding = EncodingNamed(attributes.encoding);
    markup = MarkupNamed(attributes.markup);
}

void Dictionary::LoadIndexFile()
{
    index.Load(files.index, encoding);
}

std::uint64_t Dictionary::DataSize() const
{
    return source ? source->DataSize() : articles.Size();
}

std::uint32_t Dictionary::GetWordCount() const
{
    return index.GetWordCount();
}

std::string Dictionary::GetWord(std::int32_t i) const
{
    if (i < 0 || static_cast<std::uint32_t>(i) >= GetWordCount())
        return std::string();
    const auto at = static_cast<std::size_t>(i);
    if (source)
        return source->Headword(static_cast<std::uint32_t>(index.GetOffset(at)), index.GetWord(at));
    return index.GetWord(at);
}

void Dictionary::PrepareAllWords() const
{
    if (source)
        source->SpellAll();
}

void Dictionary::GetWords(std::int32_t first, std::int32_t last, WordRange &words) const
{
    const std::int64_t begin = std::max<std::int64_t>(first, 0);
    const std::int64_t end = std::min<std::int64_t>(last, GetWordCount());
    index.GetWords(
        static_cast<std::size_t>(begin), static_cast<std::size_t>(std::max(begin, end)), words);
    if (!source || !source->SpellsFromArticles())
        return;
    std::vector<std::string> spelled;
    spelled.reserve(words.size());
    std::size_t length = 0;
    for (std::size_t k = 0; k < words.size(); ++k) {
        const auto at = static_cast<std::size_t>(begin) + k;
        spelled.push_back(source->Headword(
            static_cast<std::uint32_t>(index.GetOffset(at)), std::string(words[k])));
        length += spelled.back().size();
    }
    words.converted.clear();
    words.converted.reserve(length);
    for (const std::string &word : spelled)
        words.converted += word;
    std::size_t at = 0;
    for (std::size_t k = 0; k < spelled.size(); ++k) {
        words.words[k] = std::string_view(words.converted).substr(at, spelled[k].size());
        at += spelled[k].size();
    }
}

std::string Dictionary::GetArticle(std::int32_t i)
{
    if (i < 0 || static_cast<std::uint32_t>(i) >= GetWordCount())
        return std::string();
    if (source) {
        std::string text;
        std::string error;
        const std::string skipped = source->SkippedTypes();
        if (!source->Article(
                static_cast<std::uint32_t>(index.GetOffset(static_cast<std::size_t>(i))), text,
                error)) {
            logFile.WriteHeader(LOG_ERROR, "Dictionary::GetArticle");
            logFile.Printf("%s", error.c_str());
        }
        if (source->SkippedTypes() != skipped) {
            logFile.WriteHeader(LOG_WARNING, "Dictionary::GetArticle");
            logFile.Printf("%s: fields of type %s hold no text and are left out",
                sourcePath.c_str(), source->SkippedTypes().c_str());
        }
        return text;
    }
    if (articleSpans.size() != GetWordCount())
        MakeArticleSpans();
    const auto at = static_cast<std::size_t>(i);
    const std::int32_t offset = index.GetOffset(at);
    const std::uint16_t span = articleSpans[at];
    return articles.Read(offset, span ? std::int64_t{offset} + span : -1);
}

void Dictionary::MakeArticleSpans()
{
    const std::size_t count = GetWordCount();
    // Offset and entry in one number, ordered by the offset's bytes from the lowest: a radix
    // sort takes half the time of a comparison sort, and this runs at the first article shown.
    std::vector<std::uint64_t> places(count);
    std::vector<std::uint64_t> sorted(count);
    for (std::size_t j = 0; j < count; ++j)
        places[j] =
            static_cast<std::uint64_t>(static_cast<std::uint32_t>(index.GetOffset(j))) << 32 | j;
    for (unsigned shift = 32; shift < 64; shift += 8) {
        std::size_t starts[257] = {};
        for (const std::uint64_t place : places)
            ++starts[((place >> shift) & 0xFF) + 1];
        for (std::size_t b = 1; b < 257; ++b)
            starts[b] += starts[b - 1];
        for (const std::uint64_t place : places)
            sorted[starts[(place >> shift) & 0xFF]++] = place;
        places.swap(sorted);
    }
    articleSpans.assign(count, 0);
    std::uint64_t end = static_cast<std::uint64_t>(articles.Size());
    for (std::size_t k = count; k-- > 0;) {
        const std::uint64_t offset = places[k] >> 32;
        if (end > offset && end - offset <= UINT16_MAX)
            articleSpans[places[k] & UINT32_MAX] = static_cast<std::uint16_t>(end - offset);
        if (k == 0 || places[k - 1] >> 32 != offset)
            end = offset;
    }
}

bool Dictionary::FindWord(
    const std::string &query, std::uint32_t &position, std::int32_t &matchedLength) const
{
    return index.FindWord(query, position, matchedLength);
}

Database::Database(
    std::string programFolder, IDictionaryLoadObserver *observer, std::string dicsFolder)
    : dicsFolder(std::move(dicsFolder))
    , observer(observer)
{
    TakeProgramFolder(std::move(programFolder));
}

Database::~Database()
{
    dictionaries.clear();
    RemoveTemporaryFolder();
}

void Database::TakeProgramFolder(std::string folder)
{
    programFolder = std::move(folder);
    if (!programFolder.empty() && !IsSeparator(programFolder.back()))
        programFolder += '/';
    RemoveTemporaryFolder();
}

void Database::RemoveTemporaryFolder() const
{
    // Without a program folder there is no temporary folder of ours: "data/temp" relative to the
    // working folder may belong to anyone.
    if (!programFolder.empty())
        RemoveFolderBelow(programFolder, "data/temp");
}

std::string Database::DictionaryRoot() const
{
    std::string root = dicsFolder.empty() ? programFolder + "dics" : dicsFolder;
    while (root.size() > 1 && IsSeparator(root.back()))
        root.pop_back();
    return root;
}

void Database::SetOrder(std::vector<std::string> names)
{
    loadOrder = std::move(names);
}

void Database::AddDictionaryFolder(std::string folder)
{
    extraFolders.push_back(std::move(folder));
}

void Database::AddSources(std::vector<std::string> paths)
{
    sourcePaths.insert(sourcePaths.end(), paths.begin(), paths.end());
}

void Database::Load()
{
    // Each root sorted by name, so that the dictionaries DIC_ORDER does not name come in the
    // same order everywhere; the program's own root comes first.
    // A tool given no folder at all reads only what it was given besides.
    std::vector<std::string> roots;
    if (!programFolder.empty() || !dicsFolder.empty())
        roots.push_back(DictionaryRoot());
    roots.insert(roots.end(), extraFolders.begin(), extraFolders.end());
    std::vector<Candidate> candidates;
    failures.clear();
    for (const std::string &root : roots) {
        std::vector<std::string> names;
        std::error_code error;
        for (std::filesystem::directory_iterator entry(root, error), end; !error && entry != end;
             entry.increment(error)) {
            std::string name = entry->path().filename().string();
            if (!name.empty() && name[0] != '.')
                names.push_back(std::move(name));
        }
        std::sort(names.begin(), names.end());
        for (std::string &name : names) {
            std::string path = root + "/" + name;
            if (Dictionary::PreLoadCheck(path)) {
                logFile.WriteHeader(LOG_INFO, "Database::Load");
                logFile.Printf("Found dictionary = %s", path.c_str());
                candidates.push_back({std::move(path), std::move(name)});
            } else if (std::string why = WhyNotADictionary(path); !why.empty()) {
                failures.push_back({std::move(name), std::move(path), std::move(why)});
            }
        }
    }

    std::vector<std::string> unreadable;
    for (std::string &path : FindSources(sourcePaths, &unreadable)) {
        logFile.WriteHeader(LOG_INFO, "Database::Load");
        logFile.Printf("Found installed dictionary = %s", path.c_str());
        std::string name = InstalledName(path);
        candidates.push_back({std::move(path), std::move(name), true});
    }
    AddUnreadable(failures, unreadable);

    const auto total = static_cast<std::int32_t>(candidates.size());
    std::int32_t done = 0;
    if (observer)
        observer->OnLoadProgress(total, 0);
    // The dictionary folders load first, so that their ids are known before an installed
    // dictionary takes one and a converted copy is known before its source is read.
    std::vector<Candidate> installed;
    for (const bool pass : {false, true}) {
        for (const std::string &name : loadOrder) {
            const auto found = std::find_if(
                candidates.begin(), candidates.end(), [&name, pass](const Candidate &c) {
                    return c.name == name && c.installed == pass;
                });
            if (found == candidates.end())
                continue;
            LoadOne(*found, total, done);
            candidates.erase(found);
        }
        for (const Candidate &candidate : candidates)
            if (candidate.installed == pass)
                LoadOne(candidate, total, done);
    }
    // Then the saved order places the installed ones among the others.
    std::vector<std::uint32_t> ordered;
    for (const std::string &name : loadOrder)
        for (const auto &dictionary : dictionaries)
            if (dictionary->GetFolderName() == name)
                ordered.push_back(dictionary->GetId());
    Reorder(ordered);
}

bool Database::IsConvertedCopy(const Dictionary &source) const
{
    const DictionaryAttributes &attributes = source.GetAttributes();
    if (attributes.longName.empty() || attributes.source.empty())
        return false;
    for (const auto &dictionary : dictionaries) {
        const DictionaryAttributes &other = dictionary->GetAttributes();
        if (dictionary->GetSourcePath().empty() && other.longName == attributes.longName
            && other.source == attributes.source
            && dictionary->GetWordCount() == source.GetWordCount())
            return true;
    }
    return false;
}

void Database::LoadOne(const Candidate &candidate, std::int32_t total, std::int32_t &done)
{
    std::unique_ptr<Dictionary> dictionary;
    if (candidate.installed) {
        // The id comes from the path; an id another dictionary has is passed over for the next.
        unsigned attempt = 0;
        while (IndexOfId(InstalledDictionaryId(candidate.path, attempt)) >= 0)
            ++attempt;
        dictionary = std::make_unique<Dictionary>(
            candidate.path, InstalledDictionaryId(candidate.path, attempt), sourceCache);
    } else {
        dictionary = std::make_unique<Dictionary>(candidate.path);
    }
    if (observer)
        observer->OnDictionaryLoading(candidate.name);
    // The records a failed load leaves say why, not which folder: this one says which.
    logFile.WriteHeader(LOG_INFO, "Database::Load");
    logFile.Printf("Loading dictionary = %s", candidate.path.c_str());
    bool loaded = dictionary->Load();
    if (loaded && candidate.installed && IsConvertedCopy(*dictionary)) {
        logFile.WriteHeader(LOG_INFO, "Database::Load");
        logFile.Printf("%s is loaded already as a converted dictionary: not read again",
            candidate.path.c_str());
        ++done;
        if (observer)
            observer->OnLoadProgress(total, done);
        return;
    }
    if (loaded) {
        // Id 0 names no dictionary (or all of them) and an id must find one dictionary only.
        const std::uint32_t id = dictionary->GetId();
        const char *why = nullptr;
        if (id == 0)
            why = "Dictionary ID=0x%x is missing or zero";
        else if (IndexOfId(id) >= 0)
            why = "Dictionary ID=0x%x is already loaded";
        if (why) {
            logFile.WriteHeader(LOG_WARNING, "Database::Load");
            logFile.Printf(why, static_cast<unsigned>(id));
            loaded = false;
        }
        if (id == 0)
            failures.push_back({candidate.name, candidate.path, "у словаря нет номера (DIC_ID)"});
        else if (why)
            failures.push_back({candidate.name, candidate.path,
                "номер " + IdText(id) + " уже занят словарём «"
                    + FindById(id)->GetAttributes().longName + "»"});
    } else {
        failures.push_back({candidate.name, candidate.path,
            dictionary->LoadError().empty() ? std::string("не читается")
                                            : dictionary->LoadError()});
    }
    if (loaded) {
        logFile.WriteHeader(LOG_INFO, "Database::Load");
        logFile.Printf("Dictionary loaded, ID=0x%x", static_cast<unsigned>(dictionary->GetId()));
        dictionaries.push_back(std::move(dictionary));
    } else {
        logFile.WriteHeader(LOG_WARNING, "Database::Load");
        logFile.Printf("Failed to load dictionary");
    }
    ++done;
    if (observer)
        observer->OnLoadProgress(total, done);
}

std::int32_t Database::LoadSources(
    const std::vector<std::string> &paths, std::int32_t *alreadyLoaded)
{
    const std::int32_t before = GetCount();
    std::vector<Candidate> candidates;
    std::vector<std::string> unreadable;
    for (std::string &path : FindSources(paths, &unreadable)) {
        // The same file may come by another name (a link, "dir/../dir"); a path that cannot be
        // reached is the same as none.
        const bool known =
            std::any_of(dictionaries.begin(), dictionaries.end(), [&path](const auto &dictionary) {
                std::error_code error;
                return !dictionary->GetSourcePath().empty()
                    && std::filesystem::equivalent(dictionary->GetSourcePath(), path, error);
            });
        if (known) {
            if (alreadyLoaded)
                ++*alreadyLoaded;
            logFile.WriteHeader(LOG_INFO, "Database::Load");
            logFile.Printf("%s is loaded already: not read again", path.c_str());
            continue;
        }
        std::string name = InstalledName(path);
        candidates.push_back({std::move(path), std::move(name), true});
    }
    AddUnreadable(failures, unreadable);
    sourcePaths.insert(sourcePaths.end(), paths.begin(), paths.end());
    const auto total = static_cast<std::int32_t>(candidates.size());
    std::int32_t done = 0;
    for (const Candidate &candidate : candidates)
        LoadOne(candidate, total, done);
    return GetCount() - before;
}

std::int32_t Database::RemoveSources(const std::string &path)
{
    std::string folder = path;
    while (folder.size() > 1 && IsSeparator(folder.back()))
        folder.pop_back();
    const auto under = [&folder](const std::string &file) {
        return file == folder
            || (file.size() > folder.size() && file.compare(0, folder.size(), folder) == 0
                && IsSeparator(file[folder.size()]));
    };
    std::int32_t removed = 0;
    for (auto dictionary = dictionaries.begin(); dictionary != dictionaries.end();) {
        if (!(*dictionary)->GetSourcePath().empty() && under((*dictionary)->GetSourcePath())) {
            dropped.push_back(std::move(*dictionary));
            dictionary = dictionaries.erase(dictionary);
            ++removed;
        } else {
            ++dictionary;
        }
    }
    failures.erase(std::remove_if(failures.begin(), failures.end(),
                       [&under](const LoadFailure &failure) { return under(failure.path); }),
        failures.end());
    sourcePaths.erase(std::remove(sourcePaths.begin(), sourcePaths.end(), path), sourcePaths.end());
    return removed;
}

std::vector<std::string> Database::SearchedFolders() const
{
    std::vector<std::string> folders;
    if (!programFolder.empty() || !dicsFolder.empty())
        folders.push_back(DictionaryRoot());
    folders.insert(folders.end(), extraFolders.begin(), extraFolders.end());
    folders.insert(folders.end(), sourcePaths.begin(), sourcePaths.end());
    return folders;
}

std::int32_t Database::GetCount() const
{
    return static_cast<std::int32_t>(dictionaries.size());
}

Dictionary *Database::GetDictionary(std::int32_t i) const
{
    assert(i >= 0 && i < GetCount());
    return dictionaries[static_cast<std::size_t>(i)].get();
}

std::int32_t Database::IndexOfId(std::uint32_t id) const
{
    for (std::size_t i = 0; i < dictionaries.size(); ++i)
        if (dictionaries[i]->GetId() == id)
            return static_cast<std::int32_t>(i);
    return -1;
}

Dictionary *Database::FindById(std::uint32_t id) const
{
    const std::int32_t i = IndexOfId(id);
    return i < 0 ? nullptr : GetDictionary(i);
}

void Database::Reorder(std::vector<std::uint32_t> ids)
{
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        const std::int32_t i = IndexOfId(*id);
        if (i > 0)
            std::rotate(
                dictionaries.begin(), dictionaries.begin() + i, dictionaries.begin() + i + 1);
    }
}

bool Database::Find(
    std::uint32_t id, std::string query, WordPosition &position, std::int32_t *matchedLength) const
{
    bool found = false;
    std::int32_t best = -1;
    for (const auto &dictionary : dictionaries) {
        if (id != 0 && dictionary->GetId() != id)
            continue;
        std::uint32_t index = 0;
        std::int32_t length = 0;
        if (dictionary->FindWord(query, index, length) && (length == -1 || length > best)) {
            position.dicId = dictionary->GetId();
            position.index = static_cast<std::int32_t>(index);
            if (matchedLength)
                *matchedLength = length;
            best = length;
            found = true;
            if (length == -1)
                break;
        }
        if (id != 0)
            break;
    }
    if (!found)
        position = WordPosition();
    return found;
}

std::string Database::GetWord(WordPosition position) const
{
    const Dictionary *dictionary = FindById(position.dicId);
    return dictionary ? dictionary->GetWord(position.index) : std::string();
}

std::string Database::GetArticle(WordPosition position) const
{
    Dictionary *dictionary = FindById(position.dicId);
    return dictionary ? dictionary->GetArticle(position.index) : std::string();
}
