#include "lookup/Spelling.h"

#include <algorithm>
#include <cmath>

#include "lookup/Headword_keys.h"
#include "support/Code_page.h"

namespace {

// The keys walked as a tree of their characters: a node is a range of keys sharing a beginning,
// found by halving, and each step down computes one row of the edit distances between that
// beginning and every beginning of the query (transpositions counting one). Only the band of
// cells within the bound of the diagonal is computed; the cells either side of it are set past
// the bound, so a row never reads a cell left over from another branch.
class Walk
{
public:
    Walk(const HeadwordKeys &keys, std::u32string_view query, int maxDistance, std::size_t limit,
        bool sameStart)
        : sameStart(sameStart)
        , keys(keys)
        , query(query)
        , maxDistance(maxDistance)
        , limit(limit)
        , rows(query.size() + static_cast<std::size_t>(maxDistance) + 2,
              std::vector<int>(query.size() + 2))
    {
        for (std::size_t i = 0; i <= query.size(); ++i)
            rows[0][i] = static_cast<int>(i);
    }

    void Run(
        std::size_t first, std::size_t last, std::size_t depth, std::size_t j, char32_t previous)
    {
        const std::size_t n = query.size();
        // Cells right of the band are stale; the last one is in it only near the diagonal.
        const int distance = j + static_cast<std::size_t>(maxDistance) >= n ? rows[j][n] : PAST;
        bool recorded = false;
        // A key that ends here sorts before every longer key of the range.
        while (first < last && keys[first].length == depth) {
            if (distance <= maxDistance && !recorded && matches.size() < limit) {
                matches.push_back(SpellingMatch{first, distance});
                recorded = true;
            }
            ++first;
        }
        if (j + 1 >= rows.size())
            return;
        while (first < last && matches.size() < limit) {
            const std::string_view key = keys.Key(first);
            const auto *bytes = reinterpret_cast<const unsigned char *>(key.data()) + depth;
            std::size_t length = 1;
            const char32_t code =
                *bytes < 0x80 ? *bytes : DecodeUtf8(bytes, key.size() - depth, length);
            const std::size_t end = ChildEnd(first, last, depth, key.data() + depth, length);
            const bool allowed =
                !sameStart || j > 0 || code == query[0] || (query.size() > 1 && code == query[1]);
            if (allowed && NextRow(j, code, previous))
                Run(first, end, depth + length, j + 1, code);
            first = end;
        }
    }

    std::vector<SpellingMatch> matches;

private:
    static constexpr int PAST = 1 << 20;

    bool sameStart;

    bool Continues(std::size_t i, std::size_t depth, const char *step, std::size_t length) const
    {
        const HeadwordKeys::Entry &entry = keys[i];
        if (entry.length < depth + length)
            return false;
        const char *key = keys.Key(entry).data() + depth;
        for (std::size_t k = 0; k < length; ++k)
            if (key[k] != step[k])
                return false;
        return true;
    }

    // The end of the keys from first on that continue with step: galloping, since most ranges
    // deep in the tree are short.
    std::size_t ChildEnd(std::size_t first, std::size_t last, std::size_t depth, const char *step,
        std::size_t length) const
    {
        std::size_t known = first; // continues
        std::size_t gap = 1;
        while (known + gap < last && Continues(known + gap, depth, step, length)) {
            known += gap;
            gap *= 2;
        }
        std::size_t beyond = std::min(known + gap, last); // does not continue, or the end
        while (beyond - known > 1) {
            const std::size_t middle = known + (beyond - known) / 2;
            if (Continues(middle, depth, step, length))
                known = middle;
            else
                beyond = middle;
        }
        return beyond;
    }

    // The distances after one more character of the key; false when every one is past the bound.
    bool NextRow(std::size_t j, char32_t code, char32_t previous)
    {
        const std::size_t n = query.size();
        const auto reach = static_cast<std::size_t>(maxDistance);
        const std::vector<int> &above = rows[j];
        std::vector<int> &row = rows[j + 1];
        const std::size_t low = j + 1 > reach ? j + 1 - reach : 1;
        const std::size_t high = std::min(n, j + 1 + reach);
        row[low - 1] = low == 1 ? static_cast<int>(j + 1) : PAST;
        int least = row[low - 1];
        for (std::size_t i = low; i <= high; ++i) {
            int value = std::min(
                {above[i] + 1, row[i - 1] + 1, above[i - 1] + (query[i - 1] == code ? 0 : 1)});
            if (j >= 1 && i >= 2 && query[i - 1] == previous && query[i - 2] == code)
                value = std::min(value, rows[j - 1][i - 2] + 1);
            row[i] = value;
            least = std::min(least, value);
        }
        row[high + 1] = PAST;
        return least <= maxDistance;
    }

    const HeadwordKeys &keys;
    std::u32string_view query;
    int maxDistance;
    std::size_t limit;
    std::vector<std::vector<int>> rows;
};

struct KeyPlace
{
    float row;
    float column;
};

// Rows of the Latin and the Russian keyboard; each row sits half a key right of the one above.
const char32_t *const KEYBOARD_ROWS[] = {
    U"qwertyuiop", U"asdfghjkl", U"zxcvbnm", U"йцукенгшщзхъ", U"фывапролджэ", U"ячсмитьбю"};

bool KeyPlaceOf(char32_t code, KeyPlace &place)
{
    for (std::size_t r = 0; r < std::size(KEYBOARD_ROWS); ++r) {
        const std::u32string_view row = KEYBOARD_ROWS[r];
        const std::size_t column = row.find(code);
        if (column != std::u32string_view::npos) {
            // The Russian rows are numbered apart from the Latin ones.
            place = {static_cast<float>(r % 3 + (r / 3) * 10),
                static_cast<float>(column) + 0.5f * static_cast<float>(r % 3)};
            return true;
        }
    }
    return false;
}

bool NeighbouringKeys(char32_t a, char32_t b)
{
    KeyPlace pa;
    KeyPlace pb;
    if (!KeyPlaceOf(a, pa) || !KeyPlaceOf(b, pb))
        return false;
    return std::abs(pa.row - pb.row) <= 1.0f && std::abs(pa.column - pb.column) <= 1.0f;
}

// Letters often written for one another because they sound alike.
const char32_t *const SOUND_GROUPS[] = {U"aeiouy", U"ckqs", U"sz", U"gj", U"fv", U"mn", U"bp",
    U"dt", U"аоеиыэяюу", U"бп", U"вф", U"гк", U"дт", U"жш", U"зс", U"щш", U"цс", U"ьъ"};

bool SoundAlike(char32_t a, char32_t b)
{
    for (const char32_t *group : SOUND_GROUPS) {
        const std::u32string_view letters = group;
        if (letters.find(a) != std::u32string_view::npos
            && letters.find(b) != std::u32string_view::npos)
            return true;
    }
    return false;
}

double ReplaceCost(char32_t a, char32_t b)
{
    if (a == b)
        return 0.0;
    if (SoundAlike(a, b))
        return 0.5;
    if (NeighbouringKeys(a, b))
        return 0.6;
    return 1.0;
}

// Putting in or leaving out a letter beside the same letter: a doubled or undoubled consonant.
double InsertCost(std::u32string_view word, std::size_t at, char32_t code)
{
    if ((at > 0 && word[at - 1] == code) || (at < word.size() && word[at] == code))
        return 0.4;
    return 1.0;
}

} // namespace

std::vector<SpellingMatch> FindSpellings(const HeadwordKeys &keys, std::string_view folded,
    int maxDistance, std::size_t limit, bool sameStart)
{
    const std::u32string query = DecodeText(folded);
    Walk walk(keys, query, maxDistance, limit, sameStart && !query.empty());
    walk.Run(0, keys.size(), 0, 0, 0);
    return std::move(walk.matches);
}

double TypingCost(std::u32string_view typed, std::u32string_view candidate)
{
    const std::size_t n = typed.size();
    const std::size_t m = candidate.size();
    std::vector<std::vector<double>> cost(n + 1, std::vector<double>(m + 1));
    for (std::size_t i = 0; i <= n; ++i)
        for (std::size_t j = 0; j <= m; ++j) {
            if (i == 0 && j == 0)
                continue;
            double best = 1e9;
            if (i > 0)
                best = std::min(best, cost[i - 1][j] + InsertCost(candidate, j, typed[i - 1]));
            if (j > 0)
                best = std::min(best, cost[i][j - 1] + InsertCost(typed, i, candidate[j - 1]));
            if (i > 0 && j > 0)
                best = std::min(
                    best, cost[i - 1][j - 1] + ReplaceCost(typed[i - 1], candidate[j - 1]));
            if (i > 1 && j > 1 && typed[i - 1] == candidate[j - 2]
                && typed[i - 2] == candidate[j - 1])
                best = std::min(best, cost[i - 2][j - 2] + 0.6);
            cost[i][j] = best;
        }
    return cost[n][m];
}

std::u32string DecodeText(std::string_view utf8)
{
    std::u32string out;
    out.reserve(utf8.size());
    const auto *text = reinterpret_cast<const unsigned char *>(utf8.data());
    std::size_t left = utf8.size();
    while (left > 0) {
        std::size_t length = 0;
        out += DecodeUtf8(text, left, length);
        text += length;
        left -= length;
    }
    return out;
}
