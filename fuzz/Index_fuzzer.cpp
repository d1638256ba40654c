#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

#include "Fuzz_folder.h"
#include "storage/Database.h"
#include "support/Utils.h"

namespace {

// Enough to reach every kind of record without making each run slow on a long index.
constexpr std::int32_t WORDS_READ = 64;
constexpr std::size_t ARTICLE_MAX = 99999;

void CheckFound(const Database &database, const std::string &query, const WordPosition &position,
    std::int32_t matchedLength)
{
    const Dictionary *dictionary = database.FindById(position.dicId);
    FuzzCheck(dictionary != nullptr, "a found word names no loaded dictionary");
    FuzzCheck(position.index >= 0
            && static_cast<std::uint32_t>(position.index) < dictionary->GetWordCount(),
        "a found word outside the index");
    const std::string word = ToUpper(database.GetWord(position));
    const std::string upperQuery = ToUpper(query);
    if (matchedLength == -1) {
        FuzzCheck(word == upperQuery, "an exact match that differs from the query");
        return;
    }
    FuzzCheck(matchedLength >= 1 && static_cast<std::size_t>(matchedLength) <= query.size()
            && static_cast<std::size_t>(matchedLength) <= word.size(),
        "a matched length outside the query or the word");
    FuzzCheck(word.compare(0, static_cast<std::size_t>(matchedLength), upperQuery, 0,
                  static_cast<std::size_t>(matchedLength))
            == 0,
        "a matched beginning that the word and the query do not share");
}

void CheckArticle(const std::string &article)
{
    FuzzCheck(article.size() <= ARTICLE_MAX, "an article longer than the buffer");
    FuzzCheck(article.find('\n') == std::string::npos, "an article running over its line");
}

} // namespace

// The input gives the index, then the data file, then any number of queries. Whatever loads
// must answer every query with a word it holds, and reading articles in any order must give
// the same texts.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    FuzzedDataProvider provider(bytes, size);
    const std::string index = provider.ConsumeRandomLengthString();
    const std::string data = provider.ConsumeRandomLengthString();
    WriteFuzzDictionary(std::string("D\0I\0C\0_\0I\0D\0=\0"
                                    "1\0\n\0",
                            18),
        index, data);

    Database database(std::string(), nullptr, FuzzDicsFolder());
    database.Load();
    if (database.GetCount() == 0)
        return 0;
    Dictionary *dictionary = database.GetDictionary(0);
    FuzzCheck(dictionary->GetId() == 1, "the dictionary id was not read");

    const std::int32_t count =
        static_cast<std::int32_t>(std::min<std::uint32_t>(dictionary->GetWordCount(), WORDS_READ));
    std::vector<std::string> articles;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string word = dictionary->GetWord(i);
        FuzzCheck(word.empty()
                || (static_cast<unsigned char>(word.front()) > 0x20
                    && static_cast<unsigned char>(word.back()) > 0x20),
            "a headword with a blank at one end");
        articles.push_back(dictionary->GetArticle(i));
        CheckArticle(articles.back());
    }
    for (std::int32_t i = count - 1; i >= 0; --i)
        FuzzCheck(dictionary->GetArticle(i) == articles[static_cast<std::size_t>(i)],
            "an article read again differs");
    FuzzCheck(dictionary->GetWord(-1).empty()
            && dictionary->GetArticle(static_cast<std::int32_t>(dictionary->GetWordCount())).empty()
            && dictionary->GetArticle(-1).empty(),
        "a word outside the index has text");

    while (provider.remaining_bytes() > 0) {
        const std::string query = provider.ConsumeRandomLengthString(300);
        WordPosition position;
        std::int32_t matchedLength = -2;
        if (database.Find(0, query, position, &matchedLength)) {
            CheckFound(database, query, position, matchedLength);
            CheckArticle(database.GetArticle(position));
            WordPosition alone;
            std::int32_t aloneLength = -2;
            FuzzCheck(database.Find(1, query, alone, &aloneLength) && alone.index == position.index
                    && aloneLength == matchedLength,
                "searching the one dictionary differs from searching all");
        } else {
            FuzzCheck(position.dicId == 0 && position.index == 0, "not found left a position");
        }
    }
    return 0;
}
