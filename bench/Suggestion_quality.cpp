// How often the right headword is among the first suggestions, over word lists of
// "query<TAB>expected headword" lines (bench/suggestion-quality makes them). Not a timed test:
// it prints shares, the suggestions' median and 99th-percentile times and a few misses, and
// writes every word not suggested first to LIST.tsv.misses.
//
//   Suggestion_quality PROGRAM_FOLDER LIST.tsv...

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <unicode/unistr.h>
#include <vector>

#include "Bench_dictionaries.h"
#include "lookup/Suggestions.h"
#include "lookup/Word_forms.h"
#include "storage/Database.h"

namespace {

std::string Small(const std::string &text)
{
    std::string out;
    icu::UnicodeString::fromUTF8(text).toLower().toUTF8String(out);
    return out;
}

void Measure(Suggester &suggester, const std::string &list)
{
    std::ifstream file(list);
    std::size_t total = 0;
    std::size_t ranks[5] = {};
    std::vector<double> times;
    std::vector<double> cpuTimes;
    std::vector<std::string> misses;
    std::ofstream allMisses(list + ".misses");
    for (std::string line; std::getline(file, line);) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        const std::string query = line.substr(0, tab);
        const std::string expected = Small(line.substr(tab + 1));
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadSeconds();
        const std::vector<Suggestion> found = suggester.Suggest(query);
        cpuTimes.push_back((ThreadSeconds() - cpuStart) * 1000);
        times.push_back(Seconds(start) * 1000);
        ++total;
        std::size_t rank = 5;
        for (std::size_t i = 0; i < found.size() && rank == 5; ++i)
            if (Small(found[i].headword) == expected)
                rank = i;
        if (rank < 5)
            ++ranks[rank];
        if (rank >= 1) {
            std::string got;
            for (const Suggestion &suggestion : found)
                got += " " + suggestion.headword + "/" + SuggestionKindName(suggestion.kind);
            const std::string miss = query + " -> " + expected + " (rank "
                + (rank < 5 ? std::to_string(rank + 1) : std::string("none")) + "):" + got;
            allMisses << miss << '\n';
            if (misses.size() < 8)
                misses.push_back(miss);
        }
    }
    if (total == 0)
        return;
    const auto share = [&](std::size_t first) {
        std::size_t hits = 0;
        for (std::size_t i = 0; i < first; ++i)
            hits += ranks[i];
        return 100.0 * static_cast<double>(hits) / static_cast<double>(total);
    };
    const Spread spread = SpreadOf(times);
    const Spread cpu = SpreadOf(cpuTimes);
    std::printf("%s: %zu words; first %.1f%%, first three %.1f%%, first five %.1f%%; "
                "median %.3f ms, p99 %.3f ms (thread time %.3f / %.3f ms)\n",
        list.c_str(), total, share(1), share(3), share(5), spread.median, spread.p99, cpu.median,
        cpu.p99);
    for (const std::string &miss : misses)
        std::printf("    %s\n", miss.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: Suggestion_quality PROGRAM_FOLDER LIST.tsv...\n");
        return 2;
    }
    Database database("", nullptr, std::string(argv[1]) + "/dics");
    database.Load();
    WordForms forms;
    Suggester suggester(database, &forms);
    // The first miss builds the folded headwords and reads the Hunspell dictionaries; the lists
    // are timed after it.
    const auto start = std::chrono::steady_clock::now();
    suggester.Suggest("recieve");
    suggester.Suggest("домами");
    std::printf("%d dictionaries; first misses %.0f ms, %zu Hunspell dictionaries read\n",
        database.GetCount(), Seconds(start) * 1000, forms.LoadedCount());
    for (int i = 2; i < argc; ++i)
        Measure(suggester, argv[i]);
    return 0;
}
