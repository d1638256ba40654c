#ifndef LOOKUP_WORD_FORMS_H
#define LOOKUP_WORD_FORMS_H

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/Log_file.h"

class Hunspell;

// Word forms and their lemmas: Hunspell's stems from the dictionaries installed as NAME.aff and
// NAME.dic in one folder, and WordNet's lists of English irregular forms (*.exc), which Hunspell
// keeps as words of their own. A Hunspell dictionary is read on the first word of its script
// (Latin, Cyrillic, Greek) that needs it, never before: a large one takes a tenth of a second and
// tens of megabytes. Or all of it read beforehand on a thread of its own (ReadInBackground), so
// that no caller waits for it. Otherwise not safe for use from several threads at once.
class WordForms
{
public:
    static constexpr const char *SYSTEM_HUNSPELL = "/usr/share/hunspell";
    static constexpr const char *SYSTEM_WORDNET = "/usr/share/wordnet";

    // The folders named by KALVORA_HUNSPELL_PATH and KALVORA_WORDNET_PATH, or the system's.
    WordForms();
    WordForms(std::string hunspellFolder, std::string wordnetFolder);
    WordForms(const WordForms &) = delete;
    WordForms &operator=(const WordForms &) = delete;
    ~WordForms();

    // The lemmas word may be a form of, as the morphology spells them (UTF-8, usually small
    // letters), the word itself left out; irregular English forms first. Empty when no
    // dictionary of the word's script knows it, or none is installed (logged once).
    std::vector<std::string> Lemmas(const std::string &word);
    // Whether the first dictionary of the word's script knows it as a word of its language, as
    // written or in small letters: an everyday word rather than a rare headword.
    bool Knows(const std::string &word);

    // How often the word was met in WordNet's tagged texts (its senses' counts summed): 0 for a
    // rare or unknown word, tens to hundreds for an everyday one. English only.
    unsigned UseCount(const std::string &word);

    // Reads, on a thread of its own, what the lemmas and the spelling ranking take: the first
    // Hunspell dictionary of the Latin and of the Cyrillic script and WordNet's lists. Meanwhile
    // Lemmas, Knows and UseCount answer at once as though nothing were installed, and Ready is
    // false. Once only; nothing to do when everything is read already.
    void ReadInBackground();
    // False while ReadInBackground is still reading.
    bool Ready() const { return !reading.load(std::memory_order_acquire); }
    // Returns when ReadInBackground is done, at once when none is under way.
    void WaitUntilReady();

    // How many Hunspell dictionaries have been read so far, and their .dic files' total size.
    std::size_t LoadedCount() const;
    std::size_t LoadedBytes() const;

private:
    struct Speller;
    std::vector<Speller *> SpellersFor(const std::string &word);
    void FindDictionaries();
    void LoadExceptions();
    void LoadCounts();
    Hunspell *Get(Speller &speller);
    void Log(LogLevel level, std::string text);
    void WriteLog();

    std::string hunspellFolder;
    std::string wordnetFolder;
    bool searched = false;
    bool exceptionsRead = false;
    std::vector<std::unique_ptr<Speller>> spellers;
    std::multimap<std::string, std::string> exceptions; // irregular form -> lemma
    bool countsRead = false;
    std::map<std::string, unsigned> useCounts;
    // Records for the log, written by the thread that uses the object rather than by the reader.
    std::vector<std::pair<LogLevel, std::string>> pendingLog;
    bool readStarted = false;
    std::atomic<bool> reading{false};
    std::thread reader;
};

#endif // LOOKUP_WORD_FORMS_H
