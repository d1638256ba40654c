// Installed dictionaries read where they lie, against the floors they are held to: start-up
// against the same dictionaries converted, dictzip reads against zlib and pread.
//
// KALVORA_BENCH_REAL names a program folder whose dics/ holds GCIDE and WordNet converted
// (bench/run-real makes it); the sources are Debian's /usr/share/dictd/{gcide,wn}.index.
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "storage/Database.h"
#include "storage/Dictzip_file.h"
#include "storage/Source_dictionary.h"

namespace {

const std::vector<std::string> SOURCES = {
    "/usr/share/dictd/gcide.index", "/usr/share/dictd/wn.index"};
const std::string GCIDE_DATA = "/usr/share/dictd/gcide.dict.dz";

std::map<std::string, double> figures; // seconds per iteration

std::string Scratch()
{
    static const std::string folder = [] {
        char name[] = "/tmp/kalvora-installed-bench-XXXXXX";
        return std::string(mkdtemp(name));
    }();
    return folder;
}

double Elapsed(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The process's CPU seconds: on a machine other work keeps busy, the start-up figures in CPU
// time say more than the wall-clock ones.
double ProcessCpu()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void Record(benchmark::State &state, const std::string &name, double total)
{
    figures[name] = total / static_cast<double>(state.iterations());
}

void BM_StartConverted(benchmark::State &state)
{
    const char *real = std::getenv("KALVORA_BENCH_REAL");
    if (!real) {
        state.SkipWithError("KALVORA_BENCH_REAL is not set");
        return;
    }
    double total = 0;
    double cpu = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ProcessCpu();
        Database database("", nullptr, std::string(real) + "/dics");
        database.Load();
        benchmark::DoNotOptimize(database.GetCount());
        total += Elapsed(start);
        cpu += ProcessCpu() - cpuStart;
    }
    Record(state, "start converted", total);
    Record(state, "start converted, CPU", cpu);
}
BENCHMARK(BM_StartConverted)->Unit(benchmark::kMillisecond)->Iterations(10);

void StartDirect(benchmark::State &state, bool keepCache, const char *name)
{
    const std::string cache = Scratch() + "/cache";
    double total = 0;
    double cpu = 0;
    for (auto _ : state) {
        if (!keepCache)
            std::filesystem::remove_all(cache);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ProcessCpu();
        Database database("", nullptr, Scratch() + "/none");
        database.AddSources(SOURCES);
        database.SetSourceCache(cache);
        database.Load();
        benchmark::DoNotOptimize(database.GetCount());
        total += Elapsed(start);
        cpu += ProcessCpu() - cpuStart;
    }
    Record(state, name, total);
    Record(state, std::string(name) + ", CPU", cpu);
}
void BM_StartDirectFirst(benchmark::State &state)
{
    StartDirect(state, false, "start direct, first");
}
void BM_StartDirectSecond(benchmark::State &state)
{
    StartDirect(state, true, "start direct, second");
}
BENCHMARK(BM_StartDirectFirst)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StartDirectSecond)->Unit(benchmark::kMillisecond)->Iterations(10);

// Reads that each need a chunk the cache does not hold: chunks nine apart, the cache keeping
// eight. The floor reads the same compressed chunk and inflates it with zlib.
constexpr std::uint64_t CHUNK = 58315; // dictzip's usual chunk length
constexpr std::size_t ARTICLE = 2000;

void BM_DictzipUncached(benchmark::State &state)
{
    DictzipFile file;
    std::string error;
    if (!file.Open(GCIDE_DATA, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::uint64_t chunks = file.Size() / CHUNK;
    std::string out;
    std::uint64_t chunk = 0;
    double total = 0;
    for (auto _ : state) {
        chunk = (chunk + 9) % chunks;
        const auto start = std::chrono::steady_clock::now();
        file.Read(chunk * CHUNK + 100, ARTICLE, out, error);
        total += Elapsed(start);
    }
    Record(state, "dictzip read, chunk not cached", total);
}
BENCHMARK(BM_DictzipUncached)->Iterations(300);

void BM_InflateFloor(benchmark::State &state)
{
    // The compressed chunks' places, from the same reader's header.
    const int descriptor = open(GCIDE_DATA.c_str(), O_RDONLY);
    std::string head(1 << 17, '\0');
    head.resize(static_cast<std::size_t>(pread(descriptor, head.data(), head.size(), 0)));
    DictzipHeader header;
    std::string reason;
    if (!ParseDictzipHeader(
            reinterpret_cast<const unsigned char *>(head.data()), head.size(), header, reason)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    std::vector<std::uint64_t> starts{header.dataStart};
    for (const std::uint32_t size : header.chunkSizes)
        starts.push_back(starts.back() + size);
    std::string compressed;
    std::string out(header.chunkLength, '\0');
    std::size_t chunk = 0;
    double total = 0;
    for (auto _ : state) {
        chunk = (chunk + 9) % (starts.size() - 2);
        const auto start = std::chrono::steady_clock::now();
        compressed.resize(starts[chunk + 1] - starts[chunk]);
        pread(descriptor, compressed.data(), compressed.size(), static_cast<off_t>(starts[chunk]));
        z_stream stream{};
        inflateInit2(&stream, -MAX_WBITS);
        stream.next_in = reinterpret_cast<Bytef *>(compressed.data());
        stream.avail_in = static_cast<uInt>(compressed.size());
        stream.next_out = reinterpret_cast<Bytef *>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        inflate(&stream, Z_SYNC_FLUSH);
        inflateEnd(&stream);
        benchmark::DoNotOptimize(out.data());
        total += Elapsed(start);
    }
    close(descriptor);
    Record(state, "zlib inflating that chunk", total);
}
BENCHMARK(BM_InflateFloor)->Iterations(300);

// The same article again and again: its chunk cached, against pread of the same bytes from the
// data inflated into a plain file.
void BM_DictzipCached(benchmark::State &state)
{
    DictzipFile file;
    std::string error;
    if (!file.Open(GCIDE_DATA, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::string out;
    const std::uint64_t offset = 40 * CHUNK + 1000;
    file.Read(offset, ARTICLE, out, error);
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        file.Read(offset, ARTICLE, out, error);
        benchmark::DoNotOptimize(out.data());
        total += Elapsed(start);
    }
    Record(state, "dictzip read, chunk cached", total);
}
BENCHMARK(BM_DictzipCached)->Iterations(20000);

void BM_PreadFloor(benchmark::State &state)
{
    const std::string plain = Scratch() + "/gcide.dict";
    const std::string command = "zcat " + GCIDE_DATA + " > " + plain;
    if (std::system(command.c_str()) != 0) {
        state.SkipWithError("zcat failed");
        return;
    }
    const int descriptor = open(plain.c_str(), O_RDONLY);
    std::string out(ARTICLE, '\0');
    const std::uint64_t offset = 40 * CHUNK + 1000;
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pread(descriptor, out.data(), ARTICLE, static_cast<off_t>(offset));
        benchmark::DoNotOptimize(out.data());
        total += Elapsed(start);
    }
    close(descriptor);
    Record(state, "pread from a plain .dict", total);
}
BENCHMARK(BM_PreadFloor)->Iterations(20000);

// Heap bytes in use: what a loaded database holds is the difference across its loading.
double HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// What each start leaves held while the dictionaries are open, against the same converted, and
// the most the chunk caches of the two data files may hold besides once articles are read.
void MeasureMemory(const char *real)
{
    const std::string cache = Scratch() + "/memory-cache";
    std::filesystem::remove_all(cache);
    // What the installed dictionaries hold besides their indexes, summed.
    SourceDictionary::HeapFigures parts;
    const auto Held = [&cache, &parts](const std::string &dics, bool direct) {
        malloc_trim(0);
        const double before = HeapInUse();
        Database database("", nullptr, dics);
        if (direct) {
            database.AddSources(SOURCES);
            database.SetSourceCache(cache);
        }
        database.Load();
        malloc_trim(0);
        const double held = HeapInUse() - before;
        parts = {};
        for (std::int32_t i = 0; i < database.GetCount(); ++i)
            if (const SourceDictionary *source = database.GetDictionary(i)->GetSource()) {
                const SourceDictionary::HeapFigures figures = source->Heap();
                parts.places += figures.places;
                parts.parts += figures.parts;
                parts.spellings += figures.spellings;
            }
        return held;
    };
    const double first = Held(Scratch() + "/none", true);
    const double second = Held(Scratch() + "/none", true);
    const SourceDictionary::HeapFigures secondParts = parts;
    const double converted = Held(std::string(real) + "/dics", false);
    double chunks = 0;
    for (const std::string &source : SOURCES) {
        const std::string data = source.substr(0, source.size() - 6) + ".dict.dz";
        const int descriptor = open(data.c_str(), O_RDONLY);
        std::string head(1 << 17, '\0');
        head.resize(static_cast<std::size_t>(
            std::max<ssize_t>(pread(descriptor, head.data(), head.size(), 0), 0)));
        close(descriptor);
        DictzipHeader header;
        std::string reason;
        if (ParseDictzipHeader(
                reinterpret_cast<const unsigned char *>(head.data()), head.size(), header, reason))
            chunks += static_cast<double>(header.chunkLength) * DictzipFile::CACHED_CHUNKS;
    }
    std::printf("heap held, GCIDE + WordNet open: converted %.2f MB; direct, second start %.2f MB "
                "(%.2fx), first start %.2f MB (%.2fx); the chunk caches hold at most %.2f MB\n",
        converted / 1e6, second / 1e6, second / converted, first / 1e6, first / converted,
        chunks / 1e6);
    const double allowed = converted + chunks;
    std::printf("memory, direct second start / (converted + chunk caches): %.2f MB / %.2f MB = "
                "%.2fx (target 1.0x: %s)\n",
        second / 1e6, allowed / 1e6, second / allowed, second <= allowed ? "met" : "NOT met");
    std::printf(
        "  of which, direct second start: articles' places %.2f MB, records' parts %.2f MB, "
        "spellings %.2f MB; the rest (indexes, names, readers) %.2f MB\n",
        static_cast<double>(secondParts.places) / 1e6, static_cast<double>(secondParts.parts) / 1e6,
        static_cast<double>(secondParts.spellings) / 1e6,
        (second
            - static_cast<double>(secondParts.places + secondParts.parts + secondParts.spellings))
            / 1e6);
}

void Ratio(const char *what, const std::string &a, const std::string &b, double target)
{
    if (!figures.count(a) || !figures.count(b) || figures[b] <= 0)
        return;
    const double ratio = figures[a] / figures[b];
    std::printf("%-44s %8.3f ms / %8.3f ms = %5.2fx (target %.1fx: %s)\n", what, figures[a] * 1000,
        figures[b] * 1000, ratio, target, ratio <= target ? "met" : "NOT met");
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const char *real = std::getenv("KALVORA_BENCH_REAL");
    std::printf("Summary\n");
    Ratio("start-up, second, direct / converted", "start direct, second", "start converted", 1.1);
    Ratio("start-up, first, direct / converted", "start direct, first", "start converted", 1.5);
    Ratio(
        "  the same in CPU time, second", "start direct, second, CPU", "start converted, CPU", 1.1);
    Ratio("  the same in CPU time, first", "start direct, first, CPU", "start converted, CPU", 1.5);
    Ratio("article, chunk not cached / zlib", "dictzip read, chunk not cached",
        "zlib inflating that chunk", 2.0);
    Ratio("article, chunk cached / pread", "dictzip read, chunk cached", "pread from a plain .dict",
        1.3);
    if (real)
        MeasureMemory(real);
    std::filesystem::remove_all(Scratch());
    return 0;
}
