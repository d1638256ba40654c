// Storage figures on generated dictionaries: index load against a bare split of the same bytes,
// heap held per headword, one key press over the six-dictionary set, article reads.

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <malloc.h>
#include <map>
#include <memory>
#include <vector>

#include "Bench_dictionaries.h"
#include "storage/Database.h"

namespace {

using Clock = std::chrono::steady_clock;

BenchFolder *folder = nullptr;
// Seconds per iteration, by figure, for the summary after the run.
std::map<std::string, std::vector<double>> timings;
std::map<std::string, double> figures;

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The processor time of this thread: on a machine shared with other work it varies far less
// than the wall clock, so ratios are given for both.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

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

// The least any index reader must do: read the file and find every TAB and LF.
void BM_IndexSplit(benchmark::State &state)
{
    const std::string path = folder->IndexPath(Big());
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
        timings["split cpu"].push_back(ThreadSeconds() - cpuStart);
        Record(state, "split", Seconds(start));
        state.counters["records"] = static_cast<double>(records);
    }
}
BENCHMARK(BM_IndexSplit)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

void BM_DictionaryLoad(benchmark::State &state)
{
    const std::string path = folder->DictionaryPath(Big());
    for (auto _ : state) {
        Dictionary dictionary(path);
        const Clock::time_point start = Clock::now();
        const double cpuStart = ThreadSeconds();
        const bool loaded = dictionary.Load();
        timings["load cpu"].push_back(ThreadSeconds() - cpuStart);
        Record(state, "load", Seconds(start));
        if (!loaded)
            state.SkipWithError("the dictionary did not load");
        state.counters["words"] = dictionary.GetWordCount();
    }
}
BENCHMARK(BM_DictionaryLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

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
                    MakeQuery(dictionary->GetWord(static_cast<std::int32_t>(word)), random));
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
        && (matched <= 0 || static_cast<std::int64_t>(query.size()) <= matched);
    if (!accepted)
        return false;
    const Dictionary *dictionary = database.FindById(found.dicId);
    const std::int64_t count = dictionary->GetWordCount();
    for (std::int64_t i = found.index - 100; i < found.index + 100; ++i)
        if (i >= 0 && i < count)
            benchmark::DoNotOptimize(dictionary->GetWord(static_cast<std::int32_t>(i)));
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

void BM_GetArticle(benchmark::State &state)
{
    Dictionary dictionary(folder->DictionaryPath(Big()));
    if (!dictionary.Load()) {
        state.SkipWithError("the dictionary did not load");
        return;
    }
    figures["data file MB"] = static_cast<double>(FileSize(folder->DataPath(Big()))) / 1e6;
    BenchRandom random(99);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto word = static_cast<std::int32_t>(random.Below(dictionary.GetWordCount()));
        const Clock::time_point start = Clock::now();
        const std::string article = dictionary.GetArticle(word);
        Record(state, "article", Seconds(start));
        bytes += article.size();
    }
    state.counters["article_bytes"] = static_cast<double>(bytes) / state.iterations();
}
BENCHMARK(BM_GetArticle)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20000);

const char *Verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void PrintSummary()
{
    std::printf("\nSummary (medians over the iterations above)\n");
    for (const char *clock : {"", " cpu"}) {
        const std::string split = std::string("split") + clock;
        const std::string load = std::string("load") + clock;
        if (!timings.count(split) || !timings.count(load))
            continue;
        const double splitTime = SpreadOf(timings[split]).median;
        const double loadTime = SpreadOf(timings[load]).median;
        std::printf("index load%s: %.1f ms, bare memchr split %.1f ms: %.2fx (target <= 2x) %s\n",
            *clock ? " (thread time)" : " (wall clock)", loadTime * 1e3, splitTime * 1e3,
            loadTime / splitTime, Verdict(loadTime <= 2 * splitTime));
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
    if (timings.count("article")) {
        const Spread spread = SpreadOf(timings["article"]);
        std::printf("GetArticle in a %.0f MB data file: median %.1f us, p99 %.1f us (target "
                    "median <= 50 us) %s\n",
            figures["data file MB"], spread.median * 1e6, spread.p99 * 1e6,
            Verdict(spread.median <= 50e-6));
    }
}

} // namespace

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv, folder, PrintSummary);
}
