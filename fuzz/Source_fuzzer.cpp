#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

#include "Fuzz_folder.h"
#include "storage/Database.h"
#include "storage/Dictd_index.h"
#include "storage/Stardict_files.h"

// The first byte chooses a reader: a dictd index line, a StarDict .ifo, .idx (32- or 64-bit),
// .syn or article; or, last, a whole source of either kind read directly.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    FuzzedDataProvider provider(bytes, size);
    const int reader = provider.ConsumeIntegralInRange(0, 6);
    std::string reason;
    switch (reader) {
    case 0: {
        DictdIndexLine line;
        const std::string text = provider.ConsumeRemainingBytesAsString();
        if (ParseDictdIndexLine(text, line, reason))
            FuzzCheck(line.headword.size() <= text.size() && line.name.size() <= text.size(),
                "fields longer than their line");
        return 0;
    }
    case 1: {
        StarDictInfo info;
        if (ParseIfo(provider.ConsumeRemainingBytesAsString(), info, reason))
            FuzzCheck(info.offsetBytes == 4 || info.offsetBytes == 8, "an offset size of neither");
        return 0;
    }
    case 2:
    case 3: {
        const std::string idx = provider.ConsumeRemainingBytesAsString();
        std::vector<StarDictWord> words;
        ParseIdx(idx, reader == 2 ? 4 : 8, words, reason);
        std::size_t total = 0;
        for (const StarDictWord &word : words)
            total += word.headword.size() + 1 + (reader == 2 ? 8 : 12);
        FuzzCheck(total <= idx.size(), "records longer than the index");
        return 0;
    }
    case 4: {
        const auto count = provider.ConsumeIntegral<std::uint32_t>();
        std::vector<StarDictSynonym> synonyms;
        ParseSyn(provider.ConsumeRemainingBytesAsString(), count, synonyms, reason);
        for (const StarDictSynonym &synonym : synonyms)
            FuzzCheck(synonym.word < count, "a synonym beyond the word count");
        return 0;
    }
    case 5: {
        const std::string sequence = provider.ConsumeRandomLengthString(8);
        const std::string data = provider.ConsumeRemainingBytesAsString();
        std::string text;
        std::string skipped;
        DecodeStarDictArticle(
            data, sequence, StarDictMarkup(StarDictTextTypes(data, sequence)), text, skipped);
        return 0;
    }
    default:
        break;
    }
    // A whole source: .ifo, .idx and .dict, or .index and .dict, read through a database.
    const bool star = provider.ConsumeBool();
    const std::string first = provider.ConsumeRandomLengthString();
    const std::string second = provider.ConsumeRandomLengthString();
    const std::string third = provider.ConsumeRemainingBytesAsString();
    const std::string base = FuzzFolder() + "/s";
    if (star) {
        WriteFuzzFile(base + ".ifo", "StarDict's dict ifo file\nversion=2.4.2\n" + first);
        WriteFuzzFile(base + ".idx", second);
        WriteFuzzFile(base + ".dict", third);
    } else {
        WriteFuzzFile(base + ".index", first);
        WriteFuzzFile(base + ".dict", second + third);
    }
    Database database(std::string(), nullptr, FuzzFolder() + "/none");
    database.AddSources({base + (star ? ".ifo" : ".index")});
    database.Load();
    for (std::int32_t d = 0; d < database.GetCount(); ++d) {
        Dictionary &dictionary = *database.GetDictionary(d);
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(dictionary.GetWordCount()) && i < 64;
             ++i) {
            const std::string article = dictionary.GetArticle(i);
            FuzzCheck(article.find('\n') == std::string::npos, "an article running over its line");
            FuzzCheck(!dictionary.GetWord(i).empty(), "an empty headword");
        }
    }
    // The next input writes one kind only: the other's files must not linger.
    std::remove((base + (star ? ".index" : ".ifo")).c_str());
    return 0;
}
