#ifndef BENCH_BENCH_DICTIONARIES_H
#define BENCH_BENCH_DICTIONARIES_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One generated dictionary: folder name under dics/, its id and its size.
struct BenchDictionary
{
    std::string folder;
    std::uint32_t id;
    std::size_t words;
    std::size_t averageArticle; // bytes of an article line, on average
};

// The million-headword dictionary comes first; with it the set holds 1.5 million headwords.
// When KALVORA_BENCH_REAL names a program folder, the set is the real dictionaries in its dics/
// instead, GCIDE first (bench/run-real makes that folder).
const std::vector<BenchDictionary> &BenchSet();

// A program folder holding dics/ with the benchmark set: the real set's folder as it is, or,
// for the generated set, the folder named by KALVORA_BENCH_DICS
// is used (and filled if it lacks a complete set) and kept; otherwise a fresh temporary folder
// is made and removed, with everything in it, when the object goes.
class BenchFolder
{
public:
    BenchFolder();
    BenchFolder(const BenchFolder &) = delete;
    BenchFolder &operator=(const BenchFolder &) = delete;
    ~BenchFolder();

    // With a trailing "/".
    const std::string &Path() const { return path; }
    std::string DictionaryPath(const BenchDictionary &dictionary) const;
    std::string IndexPath(const BenchDictionary &dictionary) const;
    std::string DataPath(const BenchDictionary &dictionary) const;

private:
    std::string path;
    bool owned = false;
};

// Small deterministic generator, the same sequence on every platform and library.
class BenchRandom
{
public:
    explicit BenchRandom(std::uint64_t seed)
        : state(seed)
    {
    }
    std::uint64_t Next();
    // Uniform in [0, bound).
    std::size_t Below(std::size_t bound) { return static_cast<std::size_t>(Next() % bound); }

private:
    std::uint64_t state;
};

// Queries a user types: whole headwords, their beginnings and misspellings of them (a letter
// replaced, dropped, doubled or swapped with its neighbour), upper- or lower-case.
std::string MakeQuery(const std::string &headword, BenchRandom &random);

// Runs the benchmarks named on the command line on the set in a BenchFolder (which folder
// points at meanwhile), then prints the summary. Returns the exit status.
int RunBenchmarks(int argc, char **argv, BenchFolder *&folder, void (*printSummary)());

// Median and 99th percentile of a set of timings.
struct Spread
{
    double median;
    double p99;
};
Spread SpreadOf(std::vector<double> values);

// Wall-clock seconds since start.
double Seconds(std::chrono::steady_clock::time_point start);
// The processor time of this thread: on a machine shared with other work it varies far less
// than the wall clock, so ratios are given for both.
double ThreadSeconds();

#endif // BENCH_BENCH_DICTIONARIES_H
