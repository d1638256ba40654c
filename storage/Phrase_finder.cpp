#include "Phrase_finder.h"

#include <algorithm>
#include <array>
#include <map>
#include <numeric>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "storage/Article_lines.h"
#include "storage/Database.h"
#include "support/Utils.h"

namespace {

// Longer phrases are looked for by a linear scan rather than by comparing in full at each
// likely place, which a phrase of one repeated letter over a text of that letter makes
// quadratic. Shorter ones turn to it once their comparing has cost more than a few times the
// text passed over.
constexpr std::size_t LONG_PHRASE = 32;

bool OverBudget(std::size_t &compared, std::size_t length, std::size_t passed)
{
    compared += length;
    return compared > 8 * passed + 65536;
}

// Knuth-Morris-Pratt's table: for each length of matched beginning, the longest proper border.
template <class Symbols> std::vector<std::size_t> BorderTable(const Symbols &phrase)
{
    std::vector<std::size_t> border(phrase.size() + 1, 0);
    for (std::size_t i = 1, k = 0; i < phrase.size(); ++i) {
        while (k > 0 && phrase[i] != phrase[k])
            k = border[k];
        if (phrase[i] == phrase[k])
            ++k;
        border[i + 1] = k;
    }
    return border;
}

// How often a byte turns up in dictionary text, roughly (0 rare .. 9 everywhere): the phrase is
// looked for by its two rarest bytes, which leaves the fewest places to compare in full.
int Commonness(unsigned char folded)
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        t[' '] = 9;
        for (const char *c = "ETAOINSR"; *c; ++c)
            t[static_cast<unsigned char>(*c)] = 8;
        for (const char *c = "HDLUCMFPGWYB"; *c; ++c)
            t[static_cast<unsigned char>(*c)] = 6;
        for (const char *c = ".,;()"; *c; ++c)
            t[static_cast<unsigned char>(*c)] = 5;
        // Cyrillic upper-case letters, the common ones first: О Е А И Н Т С Р В Л.
        for (const char *c = "\xCE\xC5\xC0\xC8\xCD\xD2\xD1\xD0\xC2\xCB"; *c; ++c)
            t[static_cast<unsigned char>(*c)] = 8;
        for (const char *c = "\xCA\xCC\xC4\xCF\xD3\xDF\xDB\xDC\xC3\xC7\xC1"; *c; ++c)
            t[static_cast<unsigned char>(*c)] = 6;
        return t;
    }();
    return table[folded];
}

// Windows-1251: one byte a character, ToUpper's rule.
class Cp1251Finder : public PhraseFinder
{
public:
    explicit Cp1251Finder(std::string_view phrase)
    {
        for (unsigned c = 0; c < 256; ++c)
            fold[c] = ToUpperByte(static_cast<unsigned char>(c));
        for (const char c : phrase)
            folded += static_cast<char>(fold[static_cast<unsigned char>(c)]);
        // Positions of the two rarest bytes; a one-byte phrase uses its byte twice.
        std::vector<std::size_t> order(folded.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
            return Commonness(Byte(a)) < Commonness(Byte(b));
        });
        first = order[0];
        second = order.size() > 1 ? order[1] : order[0];
        firstForms = Forms(Byte(first));
        secondForms = Forms(Byte(second));
        border = BorderTable(folded);
    }

    std::size_t Size() const override { return folded.size(); }
    std::size_t MaxMatchBytes() const override { return folded.size(); }
    bool EndsInCarriageReturn() const override { return folded.back() == '\r'; }

    std::size_t FindIn(const unsigned char *data, std::size_t, std::size_t from, std::size_t end,
        std::size_t &matchEnd) const override
    {
        const std::size_t at =
            folded.size() < LONG_PHRASE ? Find(data, from, end) : FindLong(data, from, end);
        matchEnd = at + folded.size();
        return at;
    }

private:
    std::size_t FindLong(const unsigned char *data, std::size_t from, std::size_t end) const
    {
        const std::size_t length = folded.size();
        for (std::size_t s = from, k = 0; s < end; ++s) {
            const auto c = static_cast<char>(fold[data[s]]);
            while (k > 0 && c != folded[k])
                k = border[k];
            if (c == folded[k] && ++k == length)
                return s + 1 - length;
        }
        return NOT_FOUND;
    }

    std::size_t Find(const unsigned char *data, std::size_t from, std::size_t end) const
    {
        const std::size_t length = folded.size();
        if (end < length || from > end - length)
            return NOT_FOUND;
        const std::size_t last = end - length;
        std::size_t s = from;
        std::size_t compared = 0;
#ifdef __SSE2__
        // Sixteen starting places at a time, each kept only when both of its rare bytes are
        // there in either case; the loads stay inside [from, end) as the last start allows.
        const __m128i a1 = _mm_set1_epi8(static_cast<char>(firstForms[0]));
        const __m128i b1 = _mm_set1_epi8(static_cast<char>(firstForms[1]));
        const __m128i a2 = _mm_set1_epi8(static_cast<char>(secondForms[0]));
        const __m128i b2 = _mm_set1_epi8(static_cast<char>(secondForms[1]));
        for (; s + 16 <= last + 1; s += 16) {
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + s + first));
            const __m128i v2 =
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + s + second));
            const __m128i hit1 = _mm_or_si128(_mm_cmpeq_epi8(v1, a1), _mm_cmpeq_epi8(v1, b1));
            const __m128i hit2 = _mm_or_si128(_mm_cmpeq_epi8(v2, a2), _mm_cmpeq_epi8(v2, b2));
            auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(hit1, hit2)));
            while (mask) {
                const std::size_t at = s + static_cast<std::size_t>(__builtin_ctz(mask));
                if (OverBudget(compared, length, at - from))
                    return FindLong(data, at, end);
                if (MatchesAt(data + at))
                    return at;
                mask &= mask - 1;
            }
        }
#endif
        for (; s <= last; ++s) {
            if (OverBudget(compared, length, s - from))
                return FindLong(data, s, end);
            if (MatchesAt(data + s))
                return s;
        }
        return NOT_FOUND;
    }

    unsigned char Byte(std::size_t i) const
    {
        return static_cast<unsigned char>(folded[i]);
    }

    // The bytes that upper-case to this one: itself and, for a letter, its small form.
    std::array<unsigned char, 2> Forms(unsigned char upper) const
    {
        std::array<unsigned char, 2> forms{upper, upper};
        for (unsigned c = 0; c < 256; ++c)
            if (c != upper && fold[c] == upper)
                forms[1] = static_cast<unsigned char>(c);
        return forms;
    }

    bool MatchesAt(const unsigned char *at) const
    {
        for (std::size_t k = 0; k < folded.size(); ++k)
            if (fold[at[k]] != static_cast<unsigned char>(folded[k]))
                return false;
        return true;
    }

    std::array<unsigned char, 256> fold{};
    std::string folded;
    std::vector<std::size_t> border;
    std::size_t first = 0;
    std::size_t second = 0;
    std::array<unsigned char, 2> firstForms{};
    std::array<unsigned char, 2> secondForms{};
};

// Every character whose capital differs from it, by that capital: the forms a capital of the
// phrase can take in an article. Made once, on first use.
const std::multimap<char32_t, char32_t> &SmallForms()
{
    static const std::multimap<char32_t, char32_t> forms = [] {
        std::multimap<char32_t, char32_t> map;
        for (char32_t c = 0; c < UPPER_TABLE_LIMIT; ++c)
            if (Utf8Text::Upper(c) != c)
                map.emplace(Utf8Text::Upper(c), c);
        return map;
    }();
    return forms;
}

// UTF-8: characters of several bytes, Unicode's simple upper case. A place is compared in full
// only where the first character of the phrase may begin, in any of its forms: its first byte,
// and its second byte when every form has one.
class Utf8Finder : public PhraseFinder
{
public:
    explicit Utf8Finder(std::string_view phrase)
        : bytes(phrase.size())
        , endsInCarriageReturn(!phrase.empty() && phrase.back() == '\r')
    {
        const char *at = phrase.data();
        const char *const end = at + phrase.size();
        while (at < end)
            folded.push_back(Folded(Utf8Text::Read(at, end)));
        std::vector<std::string> forms;
        std::string form;
        AppendUtf8(form, folded[0]);
        forms.push_back(form);
        if (folded[0] == ' ')
            forms.emplace_back(LINE_BREAK);
        const auto [first, last] = SmallForms().equal_range(folded[0]);
        for (auto small = first; small != last; ++small) {
            form.clear();
            AppendUtf8(form, small->second);
            forms.push_back(form);
        }
        bool allLong = true;
        for (const std::string &f : forms) {
            leads[static_cast<unsigned char>(f[0])] = true;
            allLong = allLong && f.size() > 1;
        }
        for (const std::string &f : forms)
            seconds[allLong ? static_cast<unsigned char>(f[1]) : 0] = true;
        if (!allLong)
            seconds.fill(true);
        // U+FFFD also stands for every byte that is not well-formed UTF-8.
        if (folded[0] == 0xFFFD) {
            leads.fill(true);
            seconds.fill(true);
        }
        for (unsigned c = 0; c < 256; ++c)
            if (leads[c] && leadCount < leadBytes.size())
                leadBytes[leadCount++] = static_cast<unsigned char>(c);
            else if (leads[c])
                leadCount = leadBytes.size() + 1;
        border = BorderTable(folded);
    }

    std::size_t Size() const override { return bytes; }
    std::size_t MaxMatchBytes() const override
    {
        return folded.size() * Utf8Text::MAX_CHARACTER_BYTES;
    }
    bool EndsInCarriageReturn() const override { return endsInCarriageReturn; }
    bool BeginsWithReplacement() const override { return folded[0] == 0xFFFD; }

    std::size_t FindIn(const unsigned char *data, std::size_t start, std::size_t from,
        std::size_t end, std::size_t &matchEnd) const override
    {
        if (folded.size() >= LONG_PHRASE)
            return FindLong(data, start, from, end, matchEnd);
        std::size_t s = from;
        std::size_t compared = 0;
#ifdef __SSE2__
        // Sixteen places at a time against the few first bytes the phrase can begin with.
        if (leadCount <= leadBytes.size()) {
            __m128i lead[4];
            for (std::size_t k = 0; k < 4; ++k)
                lead[k] = _mm_set1_epi8(static_cast<char>(leadBytes[std::min(k, leadCount - 1)]));
            for (; s + 16 <= end; s += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + s));
                const __m128i hit = _mm_or_si128(
                    _mm_or_si128(_mm_cmpeq_epi8(v, lead[0]), _mm_cmpeq_epi8(v, lead[1])),
                    _mm_or_si128(_mm_cmpeq_epi8(v, lead[2]), _mm_cmpeq_epi8(v, lead[3])));
                for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask;
                     mask &= mask - 1) {
                    const std::size_t at = s + static_cast<std::size_t>(__builtin_ctz(mask));
                    if (at + 1 < end && !seconds[data[at + 1]])
                        continue;
                    if (OverBudget(compared, folded.size(), at - from))
                        return FindLong(data, start, at, end, matchEnd);
                    if (MatchesAt(data, at, start, end, matchEnd))
                        return at;
                }
            }
        }
#endif
        for (; s < end; ++s) {
            // Lead bytes are rare in most text: memchr-speed skipping is left to the table.
            if (!leads[data[s]] || (s + 1 < end && !seconds[data[s + 1]]))
                continue;
            if (OverBudget(compared, folded.size(), s - from))
                return FindLong(data, start, s, end, matchEnd);
            if (MatchesAt(data, s, start, end, matchEnd))
                return s;
        }
        return NOT_FOUND;
    }

private:
    // Upper-cased, and a stored line break read as the blank it stands for, so that a phrase is
    // found across the lines of an article.
    static char32_t Folded(char32_t c)
    {
        return c == LINE_BREAK_CHARACTER ? U' ' : Utf8Text::Upper(c);
    }

    // Where the character holding s ends when s lies inside a well-formed character that began
    // at start or later; else s.
    static std::size_t CharacterBoundary(
        const unsigned char *data, std::size_t start, std::size_t s, std::size_t end)
    {
        if (s < end && data[s] >= 0x80 && data[s] < 0xC0)
            for (std::size_t back = 1; back <= 3 && back <= s - start; ++back) {
                std::size_t length;
                DecodeUtf8(data + s - back, end - (s - back), length);
                if (length > back)
                    return s - back + length;
            }
        return s;
    }

    // The text read character by character from the first boundary at or after from, each
    // capital fed to the matcher; the starts of the last characters are kept round.
    std::size_t FindLong(const unsigned char *data, std::size_t start, std::size_t from,
        std::size_t end, std::size_t &matchEnd) const
    {
        const std::size_t length = folded.size();
        // Called once a record: the room is kept.
        thread_local std::vector<std::size_t> starts;
        starts.resize(length);
        const char *at =
            reinterpret_cast<const char *>(data + CharacterBoundary(data, start, from, end));
        const char *const limit = reinterpret_cast<const char *>(data + end);
        for (std::size_t k = 0, n = 0; at < limit; ++n) {
            starts[n % length] =
                static_cast<std::size_t>(reinterpret_cast<const unsigned char *>(at) - data);
            const char32_t c = Folded(Utf8Text::Read(at, limit));
            while (k > 0 && c != folded[k])
                k = border[k];
            if (c == folded[k] && ++k == length) {
                matchEnd =
                    static_cast<std::size_t>(reinterpret_cast<const unsigned char *>(at) - data);
                return starts[(n + 1) % length];
            }
        }
        return NOT_FOUND;
    }

    bool MatchesAt(const unsigned char *data, std::size_t s, std::size_t start, std::size_t end,
        std::size_t &matchEnd) const
    {
        // A place inside a well-formed character that began at start or later starts no
        // character.
        if (CharacterBoundary(data, start, s, end) != s)
            return false;
        const char *at = reinterpret_cast<const char *>(data + s);
        const char *const limit = reinterpret_cast<const char *>(data + end);
        for (const char32_t capital : folded) {
            if (at >= limit || Folded(Utf8Text::Read(at, limit)) != capital)
                return false;
        }
        matchEnd = static_cast<std::size_t>(reinterpret_cast<const unsigned char *>(at) - data);
        return true;
    }

    std::size_t bytes;
    bool endsInCarriageReturn;
    std::u32string folded;
    std::vector<std::size_t> border;
    std::array<bool, 256> leads{};
    std::array<bool, 256> seconds{};
    // The first bytes as a list, when there are few; more than four means every byte.
    std::array<unsigned char, 4> leadBytes{};
    std::size_t leadCount = 0;
};

std::unique_ptr<PhraseFinder> MakeFinder(Cp1251Text, std::string_view phrase)
{
    return std::make_unique<Cp1251Finder>(phrase);
}

std::unique_ptr<PhraseFinder> MakeFinder(Utf8Text, std::string_view phrase)
{
    return std::make_unique<Utf8Finder>(phrase);
}

} // namespace

std::unique_ptr<PhraseFinder> MakePhraseFinder(DictionaryEncoding encoding, std::string_view phrase)
{
    return WithText(encoding, [phrase](auto text) { return MakeFinder(text, phrase); });
}

std::optional<std::string> PhraseInDictionaryText(
    const Dictionary &dictionary, const std::string &phrase)
{
    bool complete = false;
    std::string text = WithText(dictionary.Encoding(),
        [&](auto encoding) { return encoding.UpperQuery(phrase, complete); });
    if (!complete)
        return std::nullopt;
    return text;
}

std::vector<std::pair<std::size_t, std::size_t>> FindPhrase(
    const Dictionary &dictionary, const std::string &text, const std::string &phrase)
{
    std::vector<std::pair<std::size_t, std::size_t>> found;
    const DictionaryEncoding encoding = dictionary.Encoding();
    const std::optional<std::string> own = PhraseInDictionaryText(dictionary, phrase);
    if (!own || own->empty())
        return found;
    // The text as the dictionary would hold it: in Windows-1251 a byte is a character.
    bool complete = false;
    const std::string held = WithText(
        encoding, [&](auto dictionaryText) { return dictionaryText.UpperQuery(text, complete); });
    const auto *data = reinterpret_cast<const unsigned char *>(held.data());
    const auto Characters = [&](std::size_t bytes) {
        return WithText(encoding,
            [&](auto dictionaryText) { return dictionaryText.Count(held.data(), bytes); });
    };
    const std::unique_ptr<PhraseFinder> finder = MakePhraseFinder(encoding, *own);
    std::size_t end = 0;
    for (std::size_t at = finder->FindIn(data, 0, 0, held.size(), end);
         at != PhraseFinder::NOT_FOUND; at = finder->FindIn(data, 0, end, held.size(), end)) {
        const std::size_t start = Characters(at);
        found.emplace_back(start, Characters(end) - start);
    }
    return found;
}
