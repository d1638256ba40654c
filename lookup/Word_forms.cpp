#include "lookup/Word_forms.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <hunspell.hxx>
#include <set>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "lookup/Form_rules.h"
#include "lookup/Spelling.h"
#include "support/Code_page.h"
#include "support/Log_file.h"

namespace {

enum class Script
{
    None,
    Latin,
    Cyrillic,
    Greek
};

Script ScriptOfCode(char32_t code)
{
    switch (ublock_getCode(static_cast<UChar32>(code))) {
    case UBLOCK_BASIC_LATIN:
    case UBLOCK_LATIN_1_SUPPLEMENT:
    case UBLOCK_LATIN_EXTENDED_A:
    case UBLOCK_LATIN_EXTENDED_B:
    case UBLOCK_LATIN_EXTENDED_ADDITIONAL:
        return u_isalpha(static_cast<UChar32>(code)) ? Script::Latin : Script::None;
    case UBLOCK_CYRILLIC:
    case UBLOCK_CYRILLIC_SUPPLEMENT:
        return Script::Cyrillic;
    case UBLOCK_GREEK:
    case UBLOCK_GREEK_EXTENDED:
        return Script::Greek;
    default:
        return Script::None;
    }
}

// The script of the word's first letter; a word mixing scripts is no word of any language.
Script ScriptOfWord(const std::string &word)
{
    Script found = Script::None;
    for (const char32_t code : DecodeText(word)) {
        const Script script = ScriptOfCode(code);
        if (script == Script::None)
            continue;
        if (found != Script::None && script != found)
            return Script::None;
        found = script;
    }
    return found;
}

// The script a dictionary is written in, from its language code (the name before "_" or "-").
Script ScriptOfDictionary(const std::string &name)
{
    const std::string language = name.substr(0, name.find_first_of("_-."));
    static const std::set<std::string> cyrillic = {
        "ru", "uk", "be", "bg", "mk", "sr", "kk", "ky", "mn", "tg", "tt", "ba", "cv", "os"};
    if (cyrillic.count(language) != 0)
        return Script::Cyrillic;
    if (language == "el")
        return Script::Greek;
    return Script::Latin;
}

// The dictionaries tried first for their script, being those of the program's own languages.
int Preference(const std::string &name)
{
    if (name == "en_US" || name == "ru_RU")
        return 0;
    if (name.rfind("en", 0) == 0 || name.rfind("ru", 0) == 0)
        return 1;
    return 2;
}

std::string SmallLetters(const std::string &word)
{
    std::string out;
    icu::UnicodeString::fromUTF8(word).toLower().toUTF8String(out);
    return out;
}

} // namespace

struct WordForms::Speller
{
    std::string name;
    std::string affPath;
    std::string dicPath;
    Script script = Script::Latin;
    bool tried = false;
    std::unique_ptr<Hunspell> hunspell;
    // The dictionary's own encoding when it is not UTF-8 (ISO8859-1 and the like).
    std::string encoding;

    // Reads the dictionary on the first call; true when it was read by this one.
    bool Read()
    {
        if (tried)
            return false;
        tried = true;
        hunspell = std::make_unique<Hunspell>(affPath.c_str(), dicPath.c_str());
        const std::string set = hunspell->get_dict_encoding();
        if (set != "UTF-8" && set != "utf-8")
            encoding = set;
        return true;
    }
    std::string In(const std::string &utf8) const
    {
        if (encoding.empty())
            return utf8;
        std::string out;
        const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
        const int32_t size = text.extract(0, text.length(), nullptr, 0, encoding.c_str());
        out.resize(static_cast<std::size_t>(size));
        text.extract(0, text.length(), out.data(), static_cast<uint32_t>(size), encoding.c_str());
        return out;
    }
    std::string Out(const std::string &bytes) const
    {
        if (encoding.empty())
            return bytes;
        std::string out;
        icu::UnicodeString(bytes.data(), static_cast<int32_t>(bytes.size()), encoding.c_str())
            .toUTF8String(out);
        return out;
    }
};

namespace {

std::string FolderFromEnvironment(const char *variable, const char *system)
{
    const char *given = std::getenv(variable);
    return given && *given ? given : system;
}

} // namespace

WordForms::WordForms()
    : WordForms(FolderFromEnvironment("KALVORA_HUNSPELL_PATH", SYSTEM_HUNSPELL),
        FolderFromEnvironment("KALVORA_WORDNET_PATH", SYSTEM_WORDNET))
{
}

WordForms::WordForms(std::string hunspellFolder, std::string wordnetFolder)
    : hunspellFolder(std::move(hunspellFolder))
    , wordnetFolder(std::move(wordnetFolder))
{
}

WordForms::~WordForms()
{
    WaitUntilReady();
}

void WordForms::Log(LogLevel level, std::string text)
{
    pendingLog.emplace_back(level, std::move(text));
}

void WordForms::WriteLog()
{
    for (const auto &[level, text] : pendingLog) {
        logFile.WriteHeader(level, "WordForms");
        logFile.Printf("%s", text.c_str());
    }
    pendingLog.clear();
}

Hunspell *WordForms::Get(Speller &speller)
{
    if (speller.Read())
        Log(LOG_INFO, "Read the word forms of " + speller.dicPath);
    return speller.hunspell.get();
}

void WordForms::ReadInBackground()
{
    if (readStarted)
        return;
    readStarted = true;
    reading.store(true, std::memory_order_release);
    reader = std::thread([this] {
        if (!searched)
            FindDictionaries();
        std::set<Script> scripts;
        for (const auto &speller : spellers)
            if (scripts.insert(speller->script).second)
                Get(*speller);
        if (!exceptionsRead)
            LoadExceptions();
        LoadCounts();
        reading.store(false, std::memory_order_release);
    });
}

void WordForms::WaitUntilReady()
{
    if (reader.joinable())
        reader.join();
}

void WordForms::FindDictionaries()
{
    searched = true;
    std::error_code error;
    std::vector<std::string> names;
    for (const auto &item : std::filesystem::directory_iterator(hunspellFolder, error)) {
        const std::filesystem::path path = item.path();
        if (path.extension() != ".aff")
            continue;
        std::filesystem::path dic = path;
        dic.replace_extension(".dic");
        if (std::filesystem::is_regular_file(dic, error))
            names.push_back(path.stem().string());
    }
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        return Preference(a) != Preference(b) ? Preference(a) < Preference(b) : a < b;
    });
    for (const std::string &name : names) {
        auto speller = std::make_unique<Speller>();
        speller->name = name;
        speller->affPath = hunspellFolder + "/" + name + ".aff";
        speller->dicPath = hunspellFolder + "/" + name + ".dic";
        speller->script = ScriptOfDictionary(name);
        spellers.push_back(std::move(speller));
    }
    if (spellers.empty())
        Log(LOG_WARNING,
            "No Hunspell dictionary in " + hunspellFolder + ": word forms are not available");
}

void WordForms::LoadExceptions()
{
    exceptionsRead = true;
    for (const char *part : {"verb", "noun", "adj", "adv"}) {
        std::ifstream file(wordnetFolder + "/" + part + ".exc");
        std::string form;
        std::string lemma;
        for (std::string line; std::getline(file, line);) {
            const std::size_t space = line.find(' ');
            if (space == std::string::npos)
                continue;
            form = line.substr(0, space);
            // Further lemmas may follow; the first is the usual one.
            lemma = line.substr(space + 1, line.find(' ', space + 1) - space - 1);
            // WordNet joins the words of a phrase with "_".
            std::replace(form.begin(), form.end(), '_', ' ');
            std::replace(lemma.begin(), lemma.end(), '_', ' ');
            exceptions.emplace(form, lemma);
        }
    }
}

std::vector<WordForms::Speller *> WordForms::SpellersFor(const std::string &word)
{
    if (!searched)
        FindDictionaries();
    std::vector<Speller *> found;
    const Script script = ScriptOfWord(word);
    if (script == Script::None)
        return found;
    for (const auto &speller : spellers)
        if (speller->script == script)
            found.push_back(speller.get());
    return found;
}

std::vector<std::string> WordForms::Lemmas(const std::string &word)
{
    std::vector<std::string> lemmas;
    if (!Ready())
        return lemmas;
    const std::string small = SmallLetters(word);
    auto add = [&](const std::string &lemma) {
        if (lemma != word && lemma != small
            && std::find(lemmas.begin(), lemmas.end(), lemma) == lemmas.end())
            lemmas.push_back(lemma);
    };
    // Guessed lemmas count only for a word the script's dictionary knows, and only when it knows
    // them too: the ending of a misspelt word says nothing.
    const bool wordKnown = Knows(word);
    auto addKnown = [&](const std::vector<std::string> &guesses) {
        for (const std::string &guess : guesses)
            if (wordKnown && Knows(guess))
                add(guess);
    };
    const Script script = ScriptOfWord(word);
    if (script == Script::Latin) {
        if (!exceptionsRead)
            LoadExceptions();
        const auto [first, last] = exceptions.equal_range(small);
        for (auto it = first; it != last; ++it)
            add(it->second);
        addKnown(EnglishLemmaGuesses(small));
    }
    std::vector<std::string> stems;
    for (Speller *speller : SpellersFor(word)) {
        Hunspell *hunspell = Get(*speller);
        // The first dictionary that knows the word speaks for it: a word of one language is not
        // also looked for in every other installed one.
        bool known = false;
        for (const std::string &spelling : {word, small}) {
            const std::string in = speller->In(spelling);
            if (!hunspell->spell(in))
                continue;
            known = true;
            for (const std::string &stem : hunspell->stem(in))
                stems.push_back(speller->Out(stem));
        }
        if (known)
            break;
    }
    for (const std::string &stem : stems)
        add(stem);
    if (script == Script::Cyrillic) {
        addKnown(RussianLemmaGuesses(small));
        for (const std::string &stem : stems)
            addKnown(RussianLemmaGuesses(stem));
    }
    WriteLog();
    return lemmas;
}

bool WordForms::Knows(const std::string &word)
{
    if (!Ready())
        return false;
    const std::string small = SmallLetters(word);
    // Only the script's first dictionary: asking every installed one would read them all.
    const std::vector<Speller *> found = SpellersFor(word);
    Hunspell *hunspell = found.empty() ? nullptr : Get(*found.front());
    WriteLog();
    if (hunspell == nullptr)
        return false;
    return hunspell->spell(found.front()->In(word)) || hunspell->spell(found.front()->In(small));
}

void WordForms::LoadCounts()
{
    if (!countsRead) {
        countsRead = true;
        // Lines of "lemma%sense-key sense-number count".
        std::ifstream file(wordnetFolder + "/cntlist.rev");
        for (std::string line; std::getline(file, line);) {
            const std::size_t percent = line.find('%');
            const std::size_t space = line.rfind(' ');
            if (percent == std::string::npos || space == std::string::npos || space < percent)
                continue;
            std::string lemma = line.substr(0, percent);
            std::replace(lemma.begin(), lemma.end(), '_', ' ');
            useCounts[lemma] +=
                static_cast<unsigned>(std::strtoul(line.c_str() + space + 1, nullptr, 10));
        }
    }
}

unsigned WordForms::UseCount(const std::string &word)
{
    if (!Ready())
        return 0;
    LoadCounts();
    const auto found = useCounts.find(SmallLetters(word));
    return found == useCounts.end() ? 0 : found->second;
}

std::size_t WordForms::LoadedCount() const
{
    if (!Ready())
        return 0;
    return static_cast<std::size_t>(std::count_if(spellers.begin(), spellers.end(),
        [](const auto &speller) { return speller->hunspell != nullptr; }));
}

std::size_t WordForms::LoadedBytes() const
{
    std::size_t bytes = 0;
    if (!Ready())
        return bytes;
    std::error_code error;
    for (const auto &speller : spellers)
        if (speller->hunspell) {
            const auto size = std::filesystem::file_size(speller->dicPath, error);
            bytes += error ? 0 : static_cast<std::size_t>(size);
        }
    return bytes;
}
