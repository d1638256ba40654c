#include "Bench_dictionaries.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

#include "support/Code_page.h"
#include "support/Utils.h"

namespace fs = std::filesystem;

namespace {

// Changing the generator changes this, so a kept folder from an older run is written anew.
const char SET_STAMP[] = "kalvora bench set 1";
const char STAMP_FILE[] = "bench-set-complete";

// Windows-1251 capitals: 0xC0 is A, 0xDF is YA; 0xA8 is the capital YO.
constexpr unsigned char CAPITAL_A = 0xC0;
const unsigned char VOWELS[] = {0xC0, 0xC5, 0xC8, 0xCE, 0xD3, 0xDB, 0xDD, 0xDE, 0xDF};
const unsigned char CONSONANTS[] = {0xC1, 0xC2, 0xC3, 0xC4, 0xC6, 0xC7, 0xCA, 0xCB, 0xCC, 0xCD,
    0xCF, 0xD0, 0xD1, 0xD2, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9};
const char *const SUFFIXES[] = {"", "", "\xC0", "\xCE\xCA", "\xCD\xC8\xCA", "\xCD\xCE\xD1\xD2\xDC",
    "\xCE\xC2\xC0\xD2\xDC", "\xC8\xD2\xDC", "\xDB\xC9", "\xCA\xC0", "\xC5\xCD\xC8\xC5",
    "\xCE\xC2\xDB\xC9", "\xCD\xDB\xC9", "\xC8\xC5", "\xCE\xD1\xD2\xDC", "\xC5\xD6"};

// How often a headword of a Russian dictionary begins with each capital, per ten thousand,
// A to YA; a million headwords give the P block some 130,000 of them.
const int FIRST_LETTER_WEIGHTS[32] = {400, 450, 550, 300, 450, 50, 100, 400, 250, 10, 750, 250, 450,
    500, 650, 1300, 500, 900, 400, 200, 200, 150, 60, 130, 150, 20, 0, 2, 0, 200, 30, 50};

unsigned char Pick(const unsigned char *letters, std::size_t count, BenchRandom &random)
{
    return letters[random.Below(count)];
}

unsigned char FirstLetter(BenchRandom &random)
{
    static const int total = [] {
        int sum = 0;
        for (const int weight : FIRST_LETTER_WEIGHTS)
            sum += weight;
        return sum;
    }();
    int draw = static_cast<int>(random.Below(static_cast<std::size_t>(total)));
    for (int letter = 0; letter < 32; ++letter) {
        draw -= FIRST_LETTER_WEIGHTS[letter];
        if (draw < 0)
            return static_cast<unsigned char>(CAPITAL_A + letter);
    }
    return CAPITAL_A;
}

std::string Syllables(BenchRandom &random, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (random.Below(5) != 0)
            text += static_cast<char>(Pick(CONSONANTS, sizeof(CONSONANTS), random));
        text += static_cast<char>(Pick(VOWELS, sizeof(VOWELS), random));
        if (random.Below(4) == 0)
            text += static_cast<char>(Pick(CONSONANTS, sizeof(CONSONANTS), random));
    }
    return text;
}

std::string LatinWord(BenchRandom &random)
{
    std::string word;
    const std::size_t length = 3 + random.Below(8);
    for (std::size_t i = 0; i < length; ++i)
        word += i % 2 ? "AEIOU"[random.Below(5)] : static_cast<char>('A' + random.Below(26));
    return word;
}

// Small letters after the first: proper names as dictionaries print them.
std::string TitleCase(std::string word)
{
    for (std::size_t i = 1; i < word.size(); ++i) {
        const auto c = static_cast<unsigned char>(word[i]);
        if (c >= CAPITAL_A && c < 0xE0)
            word[i] = static_cast<char>(c + 0x20);
    }
    return word;
}

// Derived words share their root, as real headwords do (DOM, DOMIK, DOMOVOY), so long shared
// beginnings are common.
void AddRootFamily(std::vector<std::string> &words, BenchRandom &random)
{
    const std::size_t kind = random.Below(1000);
    if (kind < 30) {
        words.push_back(LatinWord(random));
        return;
    }
    if (kind < 33) {
        words.push_back(std::to_string(1 + random.Below(1999)) + "-" + Syllables(random, 2));
        return;
    }
    std::string root;
    if (kind < 35)
        root = "\xA8" + Syllables(random, 1);
    else
        root = std::string(1, static_cast<char>(FirstLetter(random)))
            + Syllables(random, 1 + random.Below(3));
    const std::size_t family = 1 + random.Below(6);
    for (std::size_t i = 0; i < family; ++i) {
        std::string word = root + SUFFIXES[random.Below(std::size(SUFFIXES))];
        const std::size_t shape = random.Below(100);
        if (shape < 5)
            word += " " + Syllables(random, 2 + random.Below(2));
        else if (shape < 7)
            word += "-" + Syllables(random, 1 + random.Below(2));
        else if (shape < 15)
            word = TitleCase(word);
        words.push_back(std::move(word));
    }
}

std::vector<std::string> Headwords(std::size_t count, std::uint64_t seed)
{
    BenchRandom random(seed);
    std::vector<std::string> words;
    words.reserve(count + count / 2);
    while (words.size() < count + count / 3)
        AddRootFamily(words, random);
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(words.size());
    for (std::string &word : words)
        keyed.emplace_back(ToUpper(word), std::move(word));
    // By the upper-cased headword, bytes unsigned (std::string compares them so), and the stored
    // bytes to settle ties the same way every time.
    std::sort(keyed.begin(), keyed.end());
    keyed.erase(std::unique(keyed.begin(), keyed.end()), keyed.end());
    if (keyed.size() < count)
        throw std::runtime_error("generator made too few distinct headwords");
    // Thin evenly rather than cut the tail, so every letter keeps its share.
    std::vector<std::string> kept;
    kept.reserve(count);
    const double step = static_cast<double>(keyed.size()) / static_cast<double>(count);
    for (std::size_t i = 0; i < count; ++i)
        kept.push_back(
            std::move(keyed[static_cast<std::size_t>(static_cast<double>(i) * step)].second));
    return kept;
}

std::vector<std::string> Vocabulary(BenchRandom &random)
{
    std::vector<std::string> vocabulary;
    for (int i = 0; i < 4000; ++i) {
        std::string word = Syllables(random, 1 + random.Below(4));
        for (char &c : word)
            c = static_cast<char>(static_cast<unsigned char>(c) + 0x20);
        vocabulary.push_back(std::move(word));
    }
    return vocabulary;
}

// Lower-case prose with punctuation, about averageLength bytes; one article in a hundred is
// ten times as long, as encyclopedia entries are.
void AppendArticle(std::string &data, const std::vector<std::string> &vocabulary,
    std::size_t averageLength, BenchRandom &random)
{
    std::size_t length = averageLength / 4 + random.Below(averageLength * 3 / 2);
    if (random.Below(100) == 0)
        length *= 10;
    const std::size_t start = data.size();
    while (data.size() - start < length) {
        data += vocabulary[random.Below(vocabulary.size())];
        const std::size_t mark = random.Below(12);
        data += mark == 0 ? ". " : mark == 1 ? ", " : " ";
    }
    data.back() = '.';
    data += '\n';
}

void WriteBytes(const std::string &path, const std::string &bytes, std::ios::openmode mode)
{
    std::ofstream stream(path, std::ios::binary | mode);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!stream)
        throw std::runtime_error("cannot write " + path);
}

void WriteAttributes(const std::string &path, const BenchDictionary &dictionary)
{
    char id[16];
    std::snprintf(id, sizeof id, "%X", static_cast<unsigned>(dictionary.id));
    const std::string text = "FORMAT_VERSION=1.0\r\nENCODING=cp1251\r\nDIC_ID=" + std::string(id)
        + "\r\nDIC_VERSION=1.0\r\nCATEGORY=EXP\r\nSHORT_NAME=" + dictionary.folder
        + "\r\nLONG_NAME=" + dictionary.folder + "\r\nSOURCE=generated\r\n";
    const std::u16string wide = AnsiToUtf16(text);
    std::string bytes;
    for (const char16_t unit : wide) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    WriteBytes(path, bytes, std::ios::trunc);
}

void WriteDictionary(const BenchFolder &folder, const BenchDictionary &dictionary)
{
    fs::create_directories(folder.DictionaryPath(dictionary));
    WriteAttributes(
        folder.DictionaryPath(dictionary) + "/" + dictionary.folder + ".inf", dictionary);
    const std::vector<std::string> headwords = Headwords(dictionary.words, dictionary.id);
    BenchRandom random(dictionary.id * 7919);
    const std::vector<std::string> vocabulary = Vocabulary(random);

    std::string index;
    std::string data;
    std::size_t written = 0;
    WriteBytes(folder.DataPath(dictionary), std::string(), std::ios::trunc);
    for (const std::string &headword : headwords) {
        index += headword;
        index += '\t';
        index += std::to_string(written + data.size());
        index += '\n';
        AppendArticle(data, vocabulary, dictionary.averageArticle, random);
        if (data.size() > (1 << 22)) {
            WriteBytes(folder.DataPath(dictionary), data, std::ios::app);
            written += data.size();
            data.clear();
        }
    }
    WriteBytes(folder.DataPath(dictionary), data, std::ios::app);
    WriteBytes(folder.IndexPath(dictionary), index, std::ios::trunc);
}

std::string ReadWhole(const std::string &path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

} // namespace

namespace {

const char *RealSetFolder()
{
    const char *given = std::getenv("KALVORA_BENCH_REAL");
    return given && *given ? given : nullptr;
}

} // namespace

const std::vector<BenchDictionary> &BenchSet()
{
    // Made by bench/run-real from Debian's dictd packages and the sample dictionaries; the sizes
    // are those of the sources and only describe them.
    static const std::vector<BenchDictionary> real = {
        {"gcide", 0x6C1DE, 169645, 0},
        {"wn", 0x3A7E7, 147306, 0},
        {"jargon", 0x1A460, 2300, 0},
        {"enc", 0, 0, 0},
        {"misc", 0, 0, 0},
        {"tolk", 0, 0, 0},
    };
    if (RealSetFolder())
        return real;
    static const std::vector<BenchDictionary> set = {
        {"big", 0xB1, 1000000, 210},
        {"second", 0xB2, 200000, 120},
        {"third", 0xB3, 120000, 120},
        {"fourth", 0xB4, 80000, 120},
        {"fifth", 0xB5, 60000, 120},
        {"sixth", 0xB6, 40000, 120},
    };
    return set;
}

BenchFolder::BenchFolder()
{
    if (const char *real = RealSetFolder()) {
        path = real;
        if (path.back() != '/')
            path += '/';
        for (const BenchDictionary &dictionary : BenchSet())
            if (!fs::exists(IndexPath(dictionary)))
                throw std::runtime_error(IndexPath(dictionary) + " is missing: run bench/run-real");
        return;
    }
    if (const char *given = std::getenv("KALVORA_BENCH_DICS"); given && *given) {
        path = given;
    } else {
        std::string pattern = (fs::temp_directory_path() / "kalvora-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        path = pattern;
        owned = true;
    }
    if (path.back() != '/')
        path += '/';
    if (ReadWhole(path + STAMP_FILE) == SET_STAMP)
        return;
    std::fprintf(stderr, "Writing the benchmark dictionaries into %s\n", path.c_str());
    for (const BenchDictionary &dictionary : BenchSet())
        WriteDictionary(*this, dictionary);
    WriteBytes(path + STAMP_FILE, SET_STAMP, std::ios::trunc);
}

BenchFolder::~BenchFolder()
{
    if (!owned)
        return;
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::string BenchFolder::DictionaryPath(const BenchDictionary &dictionary) const
{
    return path + "dics/" + dictionary.folder;
}

std::string BenchFolder::IndexPath(const BenchDictionary &dictionary) const
{
    return DictionaryPath(dictionary) + "/" + dictionary.folder + ".idx";
}

std::string BenchFolder::DataPath(const BenchDictionary &dictionary) const
{
    return DictionaryPath(dictionary) + "/" + dictionary.folder + ".dat";
}

std::uint64_t BenchRandom::Next()
{
    // splitmix64
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::string MakeQuery(const std::string &headword, BenchRandom &random)
{
    std::string query = headword;
    const std::size_t kind = random.Below(100);
    if (kind < 40) {
        // the whole headword
    } else if (kind < 75) {
        query.resize(1 + random.Below(query.size()));
    } else if (query.size() > 1) {
        const std::size_t at = random.Below(query.size());
        const char letter = static_cast<char>(Pick(CONSONANTS, sizeof(CONSONANTS), random));
        switch (random.Below(4)) {
        case 0:
            query[at] = letter;
            break;
        case 1:
            query.erase(at, 1);
            break;
        case 2:
            query.insert(at, 1, query[at]);
            break;
        default:
            std::swap(query[at], query[at + 1 < query.size() ? at + 1 : at - 1]);
            break;
        }
    }
    if (random.Below(2) == 0)
        for (char &c : query) {
            const auto byte = static_cast<unsigned char>(c);
            if ((byte >= 'A' && byte <= 'Z') || (byte >= CAPITAL_A && byte < 0xE0))
                c = static_cast<char>(byte + 0x20);
        }
    return query;
}

int RunBenchmarks(int argc, char **argv, BenchFolder *&folder, void (*printSummary)())
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    BenchFolder bench;
    folder = &bench;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    folder = nullptr;
    return 0;
}

Spread SpreadOf(std::vector<double> values)
{
    if (values.empty())
        return {0, 0};
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const std::size_t p99 = std::min(n - 1, (n * 99 + 99) / 100 - 1);
    return {values[n / 2], values[p99]};
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
