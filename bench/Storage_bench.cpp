// Storage figures on the benchmark set, generated or real: index load against a bare split of the
// same bytes, heap held per headword, one key press over the six dictionaries against binary
// searches, article reads against a pread of the same bytes; and the big dictionary in
// Windows-1251 against the same dictionary re-encoded in UTF-8, side by side.

#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "Bench_dictionaries.h"
#include "storage/Database.h"
#include "storage/Text_encoding.h"
#include "support/Code_page.h"
#include "support/Utils.h"

namespace {

using Clock = std::chrono::steady_clock;

BenchFolder *folder = nullptr;
// Seconds per iteration, by figure, for the summary after the run.
std::map<std::string, std::vector<double>> timings;
std::map<std::string, double> figures;

void Record(benchmark::State &state, const char *name, double seconds)
{
    state.SetIterationTime(seconds);
    timings[name].push_back(seconds);
}

const BenchDictionary &Big()
{
    return BenchSet().front();
}

std::size_t FileSize(const std::string &path)
{
    std::ifstream stream(path, std::ios::binary | std::ios::ate);
    return static_cast<std::size_t>(stream.tellg());
}

// Allocated heap, the blocks malloc maps on their own included: uordblks alone leaves out every
// block above the mmap threshold, and index buffers are such blocks.
std::size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::string Utf8BigPath();

// The big dictionary as written (argument 0) or re-encoded in UTF-8 (argument 1): its folder, its
// index and data file, and the suffix of its figures.
std::string BigFolder(const benchmark::State &state)
{
    return state.range(0) ? Utf8BigPath() : folder->DictionaryPath(Big());
}

std::string BigIndex(const benchmark::State &state)
{
    return state.range(0) ? Utf8BigPath() + "/big.idx" : folder->IndexPath(Big());
}

std::string BigData(const benchmark::State &state)
{
    return state.range(0) ? Utf8BigPath() + "/big.dat" : folder->DataPath(Big());
}

std::string Named(const char *name, const benchmark::State &state)
{
    return std::string(name) + (state.range(0) ? " utf8" : "");
}

// The least any index reader must do: read the file and find every TAB and LF.
void BM_IndexSplit(benchmark::State &state)
{
    const std::string path = BigIndex(state);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = ThreadSeconds();
        std::ifstream stream(path, std::ios::binary | std::ios::ate);
        std::vector<char> data(static_cast<std::size_t>(stream.tellg()));
        stream.seekg(0);
        stream.read(data.data(), static_cast<std::streamsize>(data.size()));
        std::size_t records = 0;
        std::size_t headwordBytes = 0;
        const char *at = data.data();
        const char *const end = at + data.size();
        while (at < end) {
            const auto *tab = static_cast<const char *>(std::memchr(at, '\t', end - at));
            if (!tab)
                break;
            const auto *lf = static_cast<const char *>(std::memchr(tab, '\n', end - tab));
            ++records;
            headwordBytes += static_cast<std::size_t>(tab - at);
            at = lf ? lf + 1 : end;
        }
        benchmark::DoNotOptimize(records);
        benchmark::DoNotOptimize(headwordBytes);
        timings[Named("split", state) + " cpu"].push_back(ThreadSeconds() - cpuStart);
        Record(state, Named("split", state).c_str(), Seconds(start));
        state.counters["records"] = static_cast<double>(records);
    }
}
BENCHMARK(BM_IndexSplit)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

void BM_DictionaryLoad(benchmark::State &state)
{
    const std::string path = BigFolder(state);
    for (auto _ : state) {
        Dictionary dictionary(path);
        const Clock::time_point start = Clock::now();
        const double cpuStart = ThreadSeconds();
        const bool loaded = dictionary.Load();
        timings[Named("load", state) + " cpu"].push_back(ThreadSeconds() - cpuStart);
        Record(state, Named("load", state).c_str(), Seconds(start));
        if (!loaded)
            state.SkipWithError("the dictionary did not load");
        state.counters["words"] = dictionary.GetWordCount();
    }
}
BENCHMARK(BM_DictionaryLoad)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

void BM_IndexMemory(benchmark::State &state)
{
    const std::string path = folder->DictionaryPath(Big());
    const double indexBytes = static_cast<double>(FileSize(folder->IndexPath(Big())));
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        auto dictionary = std::make_unique<Dictionary>(path);
        dictionary->Load();
        const double held = static_cast<double>(HeapInUse() - before);
        const double words = dictionary->GetWordCount();
        state.counters["heap_per_word"] = held / words;
        state.counters["record_bytes"] = indexBytes / words;
        state.counters["ratio"] = held / indexBytes;
        figures["heap per word"] = held / words;
        figures["record bytes"] = indexBytes / words;
    }
}
BENCHMARK(BM_IndexMemory)->Iterations(1);

Database &SixDictionaries()
{
    static const std::unique_ptr<Database> database = [] {
        auto loaded = std::make_unique<Database>(std::string(), nullptr, folder->Path() + "dics");
        loaded->Load();
        return loaded;
    }();
    return *database;
}

// The generator spells its queries in Windows-1251; the program takes them in UTF-8.
std::string QueryNear(const std::string &utf8Headword, BenchRandom &random)
{
    const std::string query = MakeQuery(Utf8ToAnsi(utf8Headword), random);
    return Cp1251Text::ProgramText(query.data(), query.size());
}

// Headwords of the whole set drawn evenly, then typed whole, cut short or misspelt.
std::vector<std::string> KeyPressQueries(const Database &database, std::size_t count)
{
    std::size_t total = 0;
    for (std::int32_t i = 0; i < database.GetCount(); ++i)
        total += database.GetDictionary(i)->GetWordCount();
    BenchRandom random(2024);
    std::vector<std::string> queries;
    while (queries.size() < count) {
        std::size_t word = random.Below(total);
        for (std::int32_t i = 0; i < database.GetCount(); ++i) {
            const Dictionary *dictionary = database.GetDictionary(i);
            if (word < dictionary->GetWordCount()) {
                queries.push_back(
                    QueryNear(dictionary->GetWord(static_cast<std::int32_t>(word)), random));
                break;
            }
            word -= dictionary->GetWordCount();
        }
    }
    return queries;
}

// What one key press asks of the storage: the search over every dictionary and, when the key is
// accepted, the 200 headwords of the list around the found one.
bool KeyPress(const Database &database, const std::string &query)
{
    WordPosition found;
    std::int32_t matched = 0;
    const bool accepted = database.Find(0, query, found, &matched)
        && (matched <= 0
            || static_cast<std::int64_t>(Utf8Text::Count(query.data(), query.size())) <= matched);
    if (!accepted)
        return false;
    // Kept from one press to the next, as the word list keeps it.
    static WordRange words;
    database.FindById(found.dicId)->GetWords(found.index - 100, found.index + 100, words);
    benchmark::DoNotOptimize(words[0]);
    return true;
}

void BM_KeyPress(benchmark::State &state)
{
    const Database &database = SixDictionaries();
    const std::vector<std::string> queries = KeyPressQueries(database, 20000);
    std::size_t next = 0;
    std::size_t accepted = 0;
    for (auto _ : state) {
        const std::string &query = queries[next++ % queries.size()];
        const Clock::time_point start = Clock::now();
        const bool wasAccepted = KeyPress(database, query);
        const double seconds = Seconds(start);
        Record(state, "key press", seconds);
        if (wasAccepted) {
            ++accepted;
            timings["accepted key press"].push_back(seconds);
        }
    }
    state.counters["accepted"] = static_cast<double>(accepted);
}
BENCHMARK(BM_KeyPress)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20000);

constexpr std::size_t BATCH = 256;

// Find over every dictionary and, whatever was found, the 200 headwords around it.
void CoreKeyPress(const Database &database, const std::string &query)
{
    WordPosition found;
    std::int32_t matched = 0;
    if (!database.Find(0, query, found, &matched))
        return;
    static WordRange words;
    database.FindById(found.dicId)->GetWords(found.index - 100, found.index + 100, words);
    benchmark::DoNotOptimize(words[0]);
}

// The same with the headwords asked for one by one, as a string each.
void CoreKeyPressByWord(const Database &database, const std::string &query)
{
    WordPosition found;
    std::int32_t matched = 0;
    if (!database.Find(0, query, found, &matched))
        return;
    const Dictionary *dictionary = database.FindById(found.dicId);
    const std::int64_t count = dictionary->GetWordCount();
    for (std::int64_t i = found.index - 100; i < found.index + 100; ++i)
        if (i >= 0 && i < count)
            benchmark::DoNotOptimize(dictionary->GetWord(static_cast<std::int32_t>(i)));
}

// The floor of a key press: the query upper-cased, a binary search in each dictionary's sorted
// headwords, and the 200 entries around the first hit handed out as they lie in memory.
struct FloorIndex
{
    std::vector<std::string> owned;
    std::vector<std::string_view> sorted;
};

const std::vector<FloorIndex> &FloorIndexes()
{
    static const std::vector<FloorIndex> indexes = [] {
        const Database &database = SixDictionaries();
        std::vector<FloorIndex> made(static_cast<std::size_t>(database.GetCount()));
        for (std::int32_t d = 0; d < database.GetCount(); ++d) {
            const Dictionary *dictionary = database.GetDictionary(d);
            FloorIndex &index = made[static_cast<std::size_t>(d)];
            for (std::uint32_t i = 0; i < dictionary->GetWordCount(); ++i)
                index.owned.push_back(ToUpper(dictionary->GetWord(static_cast<std::int32_t>(i))));
            index.sorted.assign(index.owned.begin(), index.owned.end());
            std::sort(index.sorted.begin(), index.sorted.end());
        }
        return made;
    }();
    return indexes;
}

void FloorKeyPress(const std::vector<FloorIndex> &indexes, const std::string &query)
{
    const std::string upper = ToUpper(query);
    std::array<std::string_view, 200> window;
    bool filled = false;
    for (const FloorIndex &index : indexes) {
        const auto hit = std::lower_bound(index.sorted.begin(), index.sorted.end(), upper);
        benchmark::DoNotOptimize(hit);
        if (filled || hit == index.sorted.end())
            continue;
        const std::ptrdiff_t at = hit - index.sorted.begin();
        const std::ptrdiff_t first = std::max<std::ptrdiff_t>(0, at - 100);
        const std::ptrdiff_t last =
            std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(index.sorted.size()), at + 100);
        std::copy(index.sorted.begin() + first, index.sorted.begin() + last, window.begin());
        benchmark::DoNotOptimize(window.data());
        filled = true;
    }
}

// Batches of queries, so the clock's own cost stays out of sub-microsecond figures.
template <typename Press> void TimeBatches(benchmark::State &state, const char *name, Press press)
{
    const std::vector<std::string> queries = KeyPressQueries(SixDictionaries(), 20000);
    std::size_t next = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        for (std::size_t i = 0; i < BATCH; ++i)
            press(queries[next++ % queries.size()]);
        Record(state, name, Seconds(start) / BATCH);
    }
}

void BM_KeyPressFloor(benchmark::State &state)
{
    const std::vector<FloorIndex> &indexes = FloorIndexes();
    TimeBatches(
        state, "key press floor", [&](const std::string &query) { FloorKeyPress(indexes, query); });
}
BENCHMARK(BM_KeyPressFloor)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(400);

void BM_CoreKeyPress(benchmark::State &state)
{
    const Database &database = SixDictionaries();
    TimeBatches(
        state, "core key press", [&](const std::string &query) { CoreKeyPress(database, query); });
}
BENCHMARK(BM_CoreKeyPress)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(400);

void BM_CoreKeyPressByWord(benchmark::State &state)
{
    const Database &database = SixDictionaries();
    TimeBatches(state, "core key press by word",
        [&](const std::string &query) { CoreKeyPressByWord(database, query); });
}
BENCHMARK(BM_CoreKeyPressByWord)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(400);

// The article's place as the index gives it, found by reading the index file itself.
std::vector<std::uint32_t> ArticleOffsets(const std::string &indexPath)
{
    std::ifstream stream(indexPath, std::ios::binary);
    std::vector<std::uint32_t> offsets;
    for (std::string line; std::getline(stream, line);) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos)
            offsets.push_back(static_cast<std::uint32_t>(std::stoul(line.substr(tab + 1))));
    }
    return offsets;
}

struct ArticlePlace
{
    std::int32_t word;
    std::uint32_t offset;
    std::size_t length;
};

// Words drawn at random, each with the bytes its article takes in the data file.
std::vector<ArticlePlace> ArticlePlaces(
    const benchmark::State &state, Dictionary &dictionary, std::size_t count)
{
    const std::vector<std::uint32_t> offsets = ArticleOffsets(BigIndex(state));
    std::ifstream data(BigData(state), std::ios::binary);
    BenchRandom random(99);
    std::vector<ArticlePlace> places;
    if (offsets.size() != dictionary.GetWordCount())
        return places;
    for (std::size_t i = 0; i < count; ++i) {
        const auto word = static_cast<std::int32_t>(random.Below(dictionary.GetWordCount()));
        // The line's bytes in the file, whatever the text they make.
        std::string line;
        data.seekg(offsets[static_cast<std::size_t>(word)]);
        std::getline(data, line);
        places.push_back({word, offsets[static_cast<std::size_t>(word)], line.size()});
    }
    return places;
}

// GetArticle against a pread of the same bytes, in alternating batches over the same random
// records, so that both meet the same caches and the same moments of a busy machine; which goes
// first alternates, as the second finds the data pages the first brought in.
void BM_ArticleAgainstPread(benchmark::State &state)
{
    constexpr std::size_t ARTICLE_BATCH = 50;
    Dictionary dictionary(BigFolder(state));
    const int fd = open(BigData(state).c_str(), O_RDONLY);
    if (!dictionary.Load() || fd < 0) {
        state.SkipWithError("the dictionary did not load");
        if (fd >= 0)
            close(fd);
        return;
    }
    const std::vector<ArticlePlace> places =
        ArticlePlaces(state, dictionary, ARTICLE_BATCH * state.max_iterations);
    if (places.empty()) {
        state.SkipWithError("the index has lines the dictionary leaves out");
        close(fd);
        return;
    }
    std::vector<char> buffer(100000);
    const std::string articleName = Named("article batch", state);
    const std::string preadName = Named("article pread", state);
    std::size_t first = 0;
    bool articleFirst = true;
    for (auto _ : state) {
        const std::size_t end = first + ARTICLE_BATCH;
        double batchSeconds = 0;
        for (int turn = 0; turn < 2; ++turn) {
            const bool article = (turn == 0) == articleFirst;
            const Clock::time_point start = Clock::now();
            if (article) {
                for (std::size_t i = first; i < end; ++i)
                    benchmark::DoNotOptimize(dictionary.GetArticle(places[i].word));
            } else {
                for (std::size_t i = first; i < end; ++i)
                    benchmark::DoNotOptimize(
                        pread(fd, buffer.data(), places[i].length, places[i].offset));
            }
            const double seconds = Seconds(start);
            timings[article ? articleName : preadName].push_back(seconds / ARTICLE_BATCH);
            if (turn == 0)
                timings[(article ? articleName : preadName) + " first"].push_back(
                    seconds / ARTICLE_BATCH);
            batchSeconds += seconds;
        }
        state.SetIterationTime(batchSeconds);
        first = end;
        articleFirst = !articleFirst;
    }
    close(fd);
}
BENCHMARK(BM_ArticleAgainstPread)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(4000);

void BM_GetArticle(benchmark::State &state)
{
    Dictionary dictionary(BigFolder(state));
    if (!dictionary.Load()) {
        state.SkipWithError("the dictionary did not load");
        return;
    }
    figures[Named("data file MB", state)] = static_cast<double>(FileSize(BigData(state))) / 1e6;
    BenchRandom random(99);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto word = static_cast<std::int32_t>(random.Below(dictionary.GetWordCount()));
        const Clock::time_point start = Clock::now();
        const std::string article = dictionary.GetArticle(word);
        Record(state, Named("article", state).c_str(), Seconds(start));
        bytes += article.size();
    }
    state.counters["article_bytes"] = static_cast<double>(bytes) / state.iterations();
}
BENCHMARK(BM_GetArticle)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(20000);

// ---- The big dictionary in both encodings ------------------------------------------------------

void WriteBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string &path)
{
    std::ifstream stream(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(stream.tellg()), '\0');
    stream.seekg(0);
    stream.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// The big dictionary re-encoded: UTF-8 headwords and articles, offsets moved to match, ENCODING
// set. Written beside dics/ once and kept with a kept bench folder.
std::string Utf8BigPath()
{
    const std::string folderPath = folder->Path() + "utf8/big";
    const std::string stamp = folderPath + "/complete";
    if (std::ifstream(stamp).good())
        return folderPath;
    std::filesystem::create_directories(folderPath);
    const std::string data = ReadBytes(folder->DataPath(Big()));
    const std::string index = ReadBytes(folder->IndexPath(Big()));
    // UTF-8 bytes before every Windows-1251 byte offset that a record names, found in one pass
    // over the offsets in file order: a real dictionary need not keep its articles in index
    // order.
    std::size_t lengths[256];
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        lengths[byte] = Cp1251Text::ProgramText(&c, 1).size();
    }
    struct Record
    {
        std::size_t headword, headwordLength, offset, utf8Offset;
    };
    std::vector<Record> records;
    for (std::size_t at = 0; at < index.size();) {
        const std::size_t tab = index.find('\t', at);
        const std::size_t end = index.find('\n', tab);
        records.push_back({at, tab - at, std::stoul(index.substr(tab + 1, end - tab - 1)), 0});
        at = end + 1;
    }
    std::vector<Record *> inFileOrder;
    for (Record &record : records)
        inFileOrder.push_back(&record);
    std::sort(inFileOrder.begin(), inFileOrder.end(),
        [](const Record *a, const Record *b) { return a->offset < b->offset; });
    std::size_t converted = 0;
    std::size_t extra = 0;
    for (Record *record : inFileOrder) {
        for (; converted < record->offset && converted < data.size(); ++converted)
            extra += lengths[static_cast<unsigned char>(data[converted])] - 1;
        record->utf8Offset = record->offset + extra;
    }
    std::string utf8Index;
    for (const Record &record : records)
        utf8Index += Cp1251Text::ProgramText(&index[record.headword], record.headwordLength) + '\t'
            + std::to_string(record.utf8Offset) + '\n';
    WriteBytes(folderPath + "/big.idx", utf8Index);
    WriteBytes(folderPath + "/big.dat", Cp1251Text::ProgramText(data.data(), data.size()));
    std::string info;
    for (const char c : std::string("ENCODING=UTF-8\r\nDIC_ID=B1\r\n")) {
        info += c;
        info += '\0';
    }
    WriteBytes(folderPath + "/big.inf", info);
    WriteBytes(stamp, "");
    return folderPath;
}

const char *const ENCODINGS[] = {"cp1251", "utf8"};

// Each iteration loads both, one after the other, so that both see the same machine.
void BM_PairLoad(benchmark::State &state)
{
    const std::string paths[] = {folder->DictionaryPath(Big()), Utf8BigPath()};
    for (auto _ : state) {
        double total = 0;
        for (int e = 0; e < 2; ++e) {
            Dictionary dictionary(paths[e]);
            const double cpuStart = ThreadSeconds();
            if (!dictionary.Load())
                state.SkipWithError("a dictionary did not load");
            const double seconds = ThreadSeconds() - cpuStart;
            timings[std::string("pair load ") + ENCODINGS[e]].push_back(seconds);
            total += seconds;
        }
        state.SetIterationTime(total);
    }
}
BENCHMARK(BM_PairLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

// The two dictionaries, loaded once for the key presses and the articles.
std::unique_ptr<Dictionary> *BigPair()
{
    static std::unique_ptr<Dictionary> pair[2];
    if (!pair[0]) {
        const std::string paths[] = {folder->DictionaryPath(Big()), Utf8BigPath()};
        for (int e = 0; e < 2; ++e) {
            pair[e] = std::make_unique<Dictionary>(paths[e]);
            pair[e]->Load();
        }
    }
    return pair;
}

// A key press in one dictionary: the search and, when the key is accepted, the 200 headwords of
// the list.
void KeyPressIn(const Dictionary &dictionary, const std::string &query)
{
    std::uint32_t found = 0;
    std::int32_t matched = 0;
    const bool accepted = dictionary.FindWord(query, found, matched)
        && (matched <= 0
            || static_cast<std::int64_t>(Utf8Text::Count(query.data(), query.size())) <= matched);
    if (!accepted)
        return;
    static WordRange words;
    const auto at = static_cast<std::int32_t>(found);
    dictionary.GetWords(at - 100, at + 100, words);
    benchmark::DoNotOptimize(words[0]);
}

void BM_PairKeyPress(benchmark::State &state)
{
    std::unique_ptr<Dictionary> *pair = BigPair();
    BenchRandom random(31);
    std::vector<std::string> queries;
    for (int i = 0; i < 20000; ++i)
        queries.push_back(QueryNear(
            pair[0]->GetWord(static_cast<std::int32_t>(random.Below(pair[0]->GetWordCount()))),
            random));
    std::size_t next = 0;
    for (auto _ : state) {
        const std::string &query = queries[next++ % queries.size()];
        double total = 0;
        for (int e = 0; e < 2; ++e) {
            const Clock::time_point start = Clock::now();
            KeyPressIn(*pair[e], query);
            const double seconds = Seconds(start);
            timings[std::string("pair key press ") + ENCODINGS[e]].push_back(seconds);
            total += seconds;
        }
        state.SetIterationTime(total);
    }
}
BENCHMARK(BM_PairKeyPress)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20000);

void BM_PairArticle(benchmark::State &state)
{
    std::unique_ptr<Dictionary> *pair = BigPair();
    BenchRandom random(99);
    for (auto _ : state) {
        const auto word = static_cast<std::int32_t>(random.Below(pair[0]->GetWordCount()));
        double total = 0;
        for (int e = 0; e < 2; ++e) {
            const Clock::time_point start = Clock::now();
            benchmark::DoNotOptimize(pair[e]->GetArticle(word));
            const double seconds = Seconds(start);
            timings[std::string("pair article ") + ENCODINGS[e]].push_back(seconds);
            total += seconds;
        }
        state.SetIterationTime(total);
    }
}
BENCHMARK(BM_PairArticle)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20000);

const char *Verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void PrintSummary()
{
    std::printf("\nSummary (medians over the iterations above)\n");
    for (const char *encoding : {"", " utf8"})
        for (const char *clock : {"", " cpu"}) {
            const std::string split = std::string("split") + encoding + clock;
            const std::string load = std::string("load") + encoding + clock;
            if (!timings.count(split) || !timings.count(load))
                continue;
            const double splitTime = SpreadOf(timings[split]).median;
            const double loadTime = SpreadOf(timings[load]).median;
            std::printf("index load%s%s: %.1f ms, bare memchr split %.1f ms: %.2fx (target <= "
                        "1.3x) %s\n",
                *encoding ? " (UTF-8)" : "", *clock ? " (thread time)" : " (wall clock)",
                loadTime * 1e3, splitTime * 1e3, loadTime / splitTime,
                Verdict(loadTime <= 1.3 * splitTime));
        }
    if (figures.count("heap per word")) {
        const double ratio = figures["heap per word"] / figures["record bytes"];
        std::printf("heap per headword: %.1f bytes, index record %.1f bytes: %.2fx (target <= "
                    "1.5x) %s\n",
            figures["heap per word"], figures["record bytes"], ratio, Verdict(ratio <= 1.5));
    }
    for (const char *name : {"key press", "accepted key press"}) {
        if (!timings.count(name))
            continue;
        const Spread spread = SpreadOf(timings[name]);
        std::printf("%s over six dictionaries (%zu): median %.1f us, p99 %.1f us (target 500 / "
                    "2000 us) %s\n",
            name, timings[name].size(), spread.median * 1e6, spread.p99 * 1e6,
            Verdict(spread.median <= 500e-6 && spread.p99 <= 2e-3));
    }
    if (timings.count("core key press") && timings.count("key press floor")) {
        const double core = SpreadOf(timings["core key press"]).median;
        const double floor = SpreadOf(timings["key press floor"]).median;
        std::printf("key press in the core (Find + 200 headwords): %.2f us, binary searches + "
                    "200-entry window %.2f us: %.2fx (target <= 2x) %s\n",
            core * 1e6, floor * 1e6, core / floor, Verdict(core <= 2 * floor));
        if (timings.count("core key press by word")) {
            const double byWord = SpreadOf(timings["core key press by word"]).median;
            std::printf(
                "  the same with 200 GetWord: %.2f us: %.2fx\n", byWord * 1e6, byWord / floor);
        }
    }
    for (const char *encoding : {"", " utf8"}) {
        const std::string article = std::string("article batch") + encoding;
        const std::string pread = std::string("article pread") + encoding;
        if (!timings.count(article) || !timings.count(pread))
            continue;
        // Judged on the batches that went first: a looked-up word's article meets cold caches
        // too, and the median of the mixed batches, half of them warm, wanders between runs.
        const double articleTime = SpreadOf(timings[article + " first"]).median;
        const double floor = SpreadOf(timings[pread + " first"]).median;
        std::printf("GetArticle%s: %.2f us, pread of the same bytes %.2f us: %.2fx (target <= "
                    "1.3x) %s; all batches: %.2fx\n",
            *encoding ? " (UTF-8)" : "", articleTime * 1e6, floor * 1e6, articleTime / floor,
            Verdict(articleTime <= 1.3 * floor),
            SpreadOf(timings[article]).median / SpreadOf(timings[pread]).median);
    }
    if (timings.count("article")) {
        const Spread spread = SpreadOf(timings["article"]);
        std::printf("GetArticle in a %.0f MB data file: median %.1f us, p99 %.1f us (target "
                    "median <= 50 us) %s\n",
            figures["data file MB"], spread.median * 1e6, spread.p99 * 1e6,
            Verdict(spread.median <= 50e-6));
    }
    for (const char *what : {"load", "key press", "article"}) {
        const std::string cp1251 = std::string("pair ") + what + " cp1251";
        const std::string utf8 = std::string("pair ") + what + " utf8";
        if (!timings.count(cp1251) || !timings.count(utf8))
            continue;
        const double a = SpreadOf(timings[cp1251]).median;
        const double b = SpreadOf(timings[utf8]).median;
        std::printf("big dictionary %s%s: Windows-1251 %.2f us, UTF-8 %.2f us: %.2fx (target <= "
                    "1.3x) %s\n",
            what, std::string(what) == "load" ? " (thread time)" : "", a * 1e6, b * 1e6, b / a,
            Verdict(b <= 1.3 * a));
    }
}

} // namespace

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv, folder, PrintSummary);
}
