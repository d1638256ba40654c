#include <cstddef>
#include <cstdint>
#include <string>

#include "Fuzz_folder.h"
#include "storage/Database.h"
#include "storage/Text_encoding.h"
#include "support/Log_file.h"

namespace {

void CheckText(const std::string &text)
{
    // A value is what follows "=" on one trimmed read of at most 99 units, given out as UTF-8.
    FuzzCheck(ValidUtf8(text.data(), text.size()) == text, "an attribute value in bad UTF-8");
    std::size_t units = 0;
    const char *const end = text.data() + text.size();
    for (const char *at = text.data(); at < end;)
        units += Utf8Text::Read(at, end) > 0xFFFF ? 2 : 1;
    FuzzCheck(units <= 98, "an attribute value longer than its line");
    FuzzCheck(text.empty() || static_cast<unsigned char>(text.back()) > 0x20,
        "an attribute value ending in a blank");
}

} // namespace

// The input is the attribute file; the index and data beside it are valid. Every attribute the
// load kept must have come out of one line of the file, and the records it logged must not
// break the log.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    const std::string input(reinterpret_cast<const char *>(bytes), size);
    WriteFuzzDictionary(input, "A\t0\n", "article\n");
    logFile.Open(FuzzFolder() + "/file.log");

    Dictionary dictionary(FuzzDicsFolder() + "/d");
    if (!dictionary.Load())
        return 0;
    const DictionaryAttributes &attributes = dictionary.GetAttributes();
    for (const std::string *text : {&attributes.encoding, &attributes.category,
             &attributes.shortName, &attributes.longName, &attributes.source})
        CheckText(*text);
    for (const std::int32_t minor : {attributes.formatVersionMinor, attributes.dicVersionMinor})
        FuzzCheck(minor >= -9 && minor <= 9, "a minor version that is not one digit");
    FuzzCheck(dictionary.GetWordCount() == 1 && dictionary.GetArticle(0) == "article",
        "the valid index or data beside the attributes was not read");
    return 0;
}
