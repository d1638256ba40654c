#include "Dictionary_fixture.h"

#include "Test_folder.h"
#include "support/Code_page.h"

std::string Ansi(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}

void WriteDictionary(
    const TestFolder &programFolder, const FixtureDictionary &dictionary, const std::string &root)
{
    const std::string base = root + "/" + dictionary.folder + "/" + dictionary.folder;
    const std::string attributes = "FORMAT_VERSION=1.0\r\nENCODING=" + dictionary.encoding
        + "\r\nDIC_ID=" + dictionary.id + "\r\nDIC_VERSION=1.0\r\nCATEGORY=" + dictionary.category
        + "\r\nSHORT_NAME=" + dictionary.shortName + "\r\nLONG_NAME=" + dictionary.shortName
        + " long\r\nSOURCE=" + dictionary.folder + " source\r\n"
        + (dictionary.markup.empty() ? "" : "MARKUP=" + dictionary.markup + "\r\n");
    std::string index;
    std::string data;
    for (const auto &[headword, article] : dictionary.entries) {
        index += headword + "\t" + std::to_string(data.size()) + "\n";
        data += article + "\n";
    }
    programFolder.WriteFile(base + ".inf", Utf16le(attributes));
    programFolder.WriteFile(base + ".idx", index);
    programFolder.WriteFile(base + ".dat", data);
}

std::string DictdNumber(std::uint64_t value)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    do {
        out.insert(out.begin(), digits[value % 64]);
        value /= 64;
    } while (value > 0);
    return out;
}
