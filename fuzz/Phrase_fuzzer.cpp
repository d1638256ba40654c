#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "Fuzz_folder.h"
#include "storage/Phrase_finder.h"
#include "storage/Text_encoding.h"

namespace {

// The first place at or after from where the phrase's capitals lie, the slow way: for UTF-8 at
// the characters read one by one from start on, for Windows-1251 at every byte.
template <class Text>
std::size_t FirstPlace(const std::string &text, const std::u32string &capitals, std::size_t start,
    std::size_t from, std::size_t &matchEnd)
{
    const char *const end = text.data() + text.size();
    for (const char *place = text.data() + start; place < end;) {
        const char *at = place;
        std::size_t k = 0;
        while (k < capitals.size() && at < end && Text::Upper(Text::Read(at, end)) == capitals[k])
            ++k;
        const auto offset = static_cast<std::size_t>(place - text.data());
        if (offset >= from && k == capitals.size()) {
            matchEnd = static_cast<std::size_t>(at - text.data());
            return offset;
        }
        Text::Read(place, end);
    }
    return PhraseFinder::NOT_FOUND;
}

template <class Text>
void Check(const std::string &typed, const std::string &text, std::size_t from)
{
    bool complete = false;
    const std::string phrase =
        Text::UpperQuery(Text::ProgramText(typed.data(), typed.size()), complete);
    if (phrase.empty())
        return;
    std::u32string capitals;
    for (const char *at = phrase.data(); at < phrase.data() + phrase.size();)
        capitals += Text::Read(at, phrase.data() + phrase.size());
    const std::unique_ptr<PhraseFinder> finder = MakePhraseFinder(
        Text::MAX_CHARACTER_BYTES == 1 ? DictionaryEncoding::Cp1251 : DictionaryEncoding::Utf8,
        phrase);
    const auto *data = reinterpret_cast<const unsigned char *>(text.data());
    // Every occurrence in turn, as the highlighting takes them, and the first from a place
    // inside the text, as a scan continued from a stretch before does.
    for (std::size_t start : {std::size_t{0}, std::min(from, text.size())}) {
        std::size_t at = start;
        for (int n = 0; n < 64; ++n) {
            std::size_t gotEnd = 0;
            std::size_t wantEnd = 0;
            const std::size_t got = finder->FindIn(data, start, at, text.size(), gotEnd);
            const std::size_t want = FirstPlace<Text>(text, capitals, start, at, wantEnd);
            FuzzCheck(got == want, "the finder and the slow scan disagree on the place");
            if (got == PhraseFinder::NOT_FOUND)
                break;
            FuzzCheck(gotEnd == wantEnd, "the finder and the slow scan disagree on the end");
            FuzzCheck(gotEnd - got <= finder->MaxMatchBytes(), "an occurrence beyond its reach");
            at = gotEnd;
        }
    }
}

} // namespace

// The input: a byte choosing the encoding and how long the phrase is (so that phrases short
// and long take their own ways), a byte for the place to start from, the phrase, the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    if (size < 2)
        return 0;
    const bool utf8 = bytes[0] & 1;
    const std::size_t phraseLength = std::min<std::size_t>(bytes[0] >> 1, size - 2);
    const std::size_t from = bytes[1];
    const std::string phrase(reinterpret_cast<const char *>(bytes + 2), phraseLength);
    const std::string text(
        reinterpret_cast<const char *>(bytes + 2 + phraseLength), size - 2 - phraseLength);
    if (utf8)
        Check<Utf8Text>(phrase, text, from);
    else
        Check<Cp1251Text>(phrase, text, from);
    return 0;
}
