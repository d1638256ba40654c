#include "lookup/Folding.h"

#include <mutex>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <vector>

#include "support/Code_page.h"

namespace {

constexpr char32_t SMALL_SHORT_I = 0x439;
constexpr char32_t CAPITAL_SHORT_I = 0x419;
constexpr char32_t SMALL_I = 0x438;
constexpr char32_t COMBINING_BREVE = 0x306;
// Below this every character's fold is kept in a table: the scripts dictionaries are written in.
constexpr char32_t TABLE_LIMIT = 0x3000;
// A character that folds to nothing (a mark) in the table.
constexpr char32_t DROPPED = 0xFFFFFFFF;

bool IsMark(char32_t code)
{
    return u_charType(static_cast<UChar32>(code)) == U_NON_SPACING_MARK;
}

// The canonical decomposition's base character, case-folded: é gives e, Ё gives е (its
// diaeresis is a mark of the decomposition). Й is kept whole: Russian treats it as a letter of its
// own, not as и with a breve.
char32_t FoldOne(char32_t code)
{
    if (code == SMALL_SHORT_I || code == CAPITAL_SHORT_I)
        return SMALL_SHORT_I;
    if (IsMark(code))
        return DROPPED;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfd = icu::Normalizer2::getNFDInstance(status);
    char32_t base = code;
    icu::UnicodeString decomposition;
    if (U_SUCCESS(status) && nfd->getDecomposition(static_cast<UChar32>(code), decomposition)
        && decomposition.length() > 0)
        base = static_cast<char32_t>(decomposition.char32At(0));
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(base), U_FOLD_CASE_DEFAULT));
}

const std::vector<char32_t> &FoldTable()
{
    static std::vector<char32_t> table;
    static std::once_flag made;
    std::call_once(made, [] {
        table.resize(TABLE_LIMIT);
        for (char32_t code = 0; code < TABLE_LIMIT; ++code)
            table[code] = FoldOne(code);
    });
    return table;
}

char32_t Fold(char32_t code)
{
    if (code < 0x80)
        return code >= 'A' && code <= 'Z' ? code + ('a' - 'A') : code;
    return code < TABLE_LIMIT ? FoldTable()[code] : FoldOne(code);
}

} // namespace

void AppendFolded(std::string &out, char32_t code)
{
    const char32_t folded = Fold(code);
    if (folded != DROPPED)
        AppendUtf8(out, folded);
}

std::string FoldText(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    const auto *text = reinterpret_cast<const unsigned char *>(utf8.data());
    std::size_t left = utf8.size();
    char32_t previous = 0;
    while (left > 0) {
        if (*text < 0x80) {
            out += static_cast<char>(Fold(*text));
            previous = *text;
            ++text;
            --left;
            continue;
        }
        std::size_t length = 0;
        const char32_t code = DecodeUtf8(text, left, length);
        text += length;
        left -= length;
        // и followed by a combining breve is й written in two characters.
        if (code == COMBINING_BREVE && Fold(previous) == SMALL_I) {
            out.resize(out.size() - 2);
            AppendUtf8(out, SMALL_SHORT_I);
        } else {
            AppendFolded(out, code);
        }
        previous = code;
    }
    return out;
}

std::string FoldCase(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    const auto *text = reinterpret_cast<const unsigned char *>(utf8.data());
    std::size_t left = utf8.size();
    while (left > 0) {
        std::size_t length = 0;
        const char32_t code = DecodeUtf8(text, left, length);
        AppendUtf8(out,
            static_cast<char32_t>(u_foldCase(static_cast<UChar32>(code), U_FOLD_CASE_DEFAULT)));
        text += length;
        left -= length;
    }
    return out;
}

std::string DropMarks(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    const auto *text = reinterpret_cast<const unsigned char *>(utf8.data());
    std::size_t left = utf8.size();
    char32_t previous = 0;
    while (left > 0) {
        std::size_t length = 0;
        const char32_t code = DecodeUtf8(text, left, length);
        if (!IsMark(code) || (code == COMBINING_BREVE && Fold(previous) == SMALL_I))
            out.append(reinterpret_cast<const char *>(text), length);
        text += length;
        left -= length;
        previous = code;
    }
    return out;
}
