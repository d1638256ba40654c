#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

#include "Fuzz_folder.h"
#include "storage/Database.h"
#include "storage/Text_encoding.h"
#include "support/Utils.h"

namespace {

// Enough to reach every kind of record without making each run slow on a long index.
constexpr std::int32_t WORDS_READ = 64;
constexpr std::size_t ARTICLE_MAX = 99999;

// A text as the dictionary compares it: its characters upper-cased, a Windows-1251 dictionary's
// as bytes (as far as the code page goes), a UTF-8 one's as codes.
std::vector<char32_t> Compared(const std::string &utf8, bool utf8Dictionary)
{
    bool complete = true;
    std::vector<char32_t> characters;
    if (utf8Dictionary) {
        const std::string upper = Utf8Text::UpperQuery(utf8, complete);
        const char *const end = upper.data() + upper.size();
        for (const char *at = upper.data(); at < end;)
            characters.push_back(Utf8Text::Read(at, end));
    } else {
        for (const char c : Cp1251Text::UpperQuery(utf8, complete))
            characters.push_back(static_cast<unsigned char>(c));
    }
    return characters;
}

bool IsValidUtf8(const std::string &text)
{
    return ValidUtf8(text.data(), text.size()) == text;
}

void CheckFound(const Database &database, const std::string &query, const WordPosition &position,
    std::int32_t matchedLength, bool utf8Dictionary)
{
    const Dictionary *dictionary = database.FindById(position.dicId);
    FuzzCheck(dictionary != nullptr, "a found word names no loaded dictionary");
    FuzzCheck(position.index >= 0
            && static_cast<std::uint32_t>(position.index) < dictionary->GetWordCount(),
        "a found word outside the index");
    const std::vector<char32_t> word = Compared(database.GetWord(position), utf8Dictionary);
    const std::vector<char32_t> upperQuery = Compared(query, utf8Dictionary);
    if (matchedLength == -1) {
        FuzzCheck(
            word == upperQuery && upperQuery.size() == Utf8Text::Count(query.data(), query.size()),
            "an exact match that differs from the query");
        return;
    }
    const auto matched = static_cast<std::size_t>(matchedLength);
    FuzzCheck(matchedLength >= 1 && matched <= upperQuery.size() && matched <= word.size(),
        "a matched length outside the query or the word");
    FuzzCheck(std::equal(word.begin(), word.begin() + matchedLength, upperQuery.begin()),
        "a matched beginning that the word and the query do not share");
}

void CheckArticle(const std::string &article)
{
    FuzzCheck(IsValidUtf8(article), "an article given out as bad UTF-8");
    FuzzCheck(Utf8Text::Count(article.data(), article.size()) <= ARTICLE_MAX,
        "an article longer than the buffer");
    FuzzCheck(article.find('\n') == std::string::npos, "an article running over its line");
}

} // namespace

// The input gives the index, then the data file, then any number of queries; its last byte
// chooses Windows-1251 or UTF-8. Whatever loads must answer every query with a word it holds,
// give out well-formed UTF-8, and give the same texts when articles are read in any order.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    FuzzedDataProvider provider(bytes, size);
    const bool utf8 = provider.ConsumeBool();
    const std::string index = provider.ConsumeRandomLengthString();
    const std::string data = provider.ConsumeRandomLengthString();
    const std::string id("D\0I\0C\0_\0I\0D\0=\0"
                         "1\0\n\0",
        18);
    const std::string encoding("E\0N\0C\0O\0D\0I\0N\0G\0=\0u\0t\0f\0"
                               "8\0\n\0",
        28);
    WriteFuzzDictionary(utf8 ? id + encoding : id, index, data);

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
        FuzzCheck(IsValidUtf8(word), "a headword given out as bad UTF-8");
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
            CheckFound(database, query, position, matchedLength, utf8);
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
