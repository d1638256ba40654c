#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Fuzz_folder.h"
#include "storage/Text_encoding.h"
#include "support/Code_page.h"
#include "support/Utils.h"

// The input is text as a dictionary file or an edge of the program may hand it over, read as
// UTF-8 and as Windows-1251: every way across the seam must agree with every other.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(bytes), size);

    // UTF-8: made well-formed once, it stays as it is by every way.
    const std::string valid = ValidUtf8(text.data(), text.size());
    FuzzCheck(Utf8Text::IsProgramText(valid.data(), valid.size()), "valid text is not valid");
    FuzzCheck(ValidUtf8(valid.data(), valid.size()) == valid, "made valid twice differs");
    FuzzCheck(Utf8Text::IsProgramText(text.data(), text.size()) == (valid == text),
        "well-formed text is told apart wrongly");
    const std::size_t characters = Utf8Text::Count(text.data(), text.size());
    FuzzCheck(Utf8Text::Count(valid.data(), valid.size()) == characters,
        "making text valid changes its characters");
    FuzzCheck(Utf8Text::BytesOf(text.data(), text.size(), characters) == text.size(),
        "the characters do not cover the text");
    FuzzCheck(Utf16ToUtf8(Utf8ToUtf16(text)) == valid, "UTF-16 and back changes the text");
    bool complete = false;
    const std::string upper = Utf8Text::UpperQuery(text, complete);
    FuzzCheck(complete && Utf8Text::Count(upper.data(), upper.size()) == characters,
        "upper-casing changes the number of characters");
    FuzzCheck(Utf8Text::UpperQuery(upper, complete) == upper, "upper-casing twice differs");

    // Windows-1251: a byte is a character, each given out so that it is found again.
    const std::string utf8 = AnsiToUtf8(text);
    FuzzCheck(Utf8Text::IsProgramText(utf8.data(), utf8.size()), "converted text is not UTF-8");
    FuzzCheck(
        Utf8Text::Count(utf8.data(), utf8.size()) == text.size(), "a byte is not one character");
    FuzzCheck(Cp1251Text::UpperQuery(utf8, complete) == ToUpper(text) && complete,
        "the text is not found again as it was given out");
    std::size_t unmapped = 0;
    const std::string back = Utf8ToAnsi(utf8, &unmapped);
    FuzzCheck(back.size() == text.size(), "the way back changes the length");
    for (std::size_t i = 0; i < text.size(); ++i)
        FuzzCheck(back[i] == text[i] || (text[i] == '\x98' && back[i] == '?'),
            "a defined byte does not come back");
    FuzzCheck(Utf16ToAnsi(AnsiToUtf16(text)) == back, "UTF-16 and UTF-8 ways back differ");

    // Words converted in a batch, as the word list takes them, are converted alone.
    for (const bool asUtf8 : {false, true}) {
        std::vector<std::string_view> words;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t length = std::min<std::size_t>(
                1 + static_cast<unsigned char>(text[at]) % 7, text.size() - at);
            words.emplace_back(text.data() + at, length);
            at += length;
        }
        const std::vector<std::string_view> alone = words;
        std::string room;
        WithText(
            asUtf8 ? DictionaryEncoding::Utf8 : DictionaryEncoding::Cp1251, [&](auto encoding) {
                encoding.MakeProgramText(words, room);
                for (std::size_t i = 0; i < words.size(); ++i)
                    FuzzCheck(words[i] == encoding.ProgramText(alone[i].data(), alone[i].size()),
                        "a word converted in a batch differs");
            });
    }
    return 0;
}
