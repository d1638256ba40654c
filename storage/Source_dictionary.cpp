#include "Source_dictionary.h"

bool SourceDictionary::Open(const std::string &path, std::string &error)
{
    const std::optional<SourceFormat> format = FormatFromName(path);
    if (!format || *format == SourceFormat::Tsv) {
        error = path + ": neither a dictd .index nor a StarDict .ifo";
        return false;
    }
    // Only a dictd headword looks at its article, and only at the first line.
    if (!ReadSource(path, *format, TextEncoding::Auto, data, error,
            *format == SourceFormat::Dictd ? ArticleText::FirstLine : ArticleText::None))
        return false;
    BuildReport report;
    const std::vector<BuiltEntry> entries =
        PrepareEntries(data, Duplicates::Merge, DictionaryEncoding::Utf8, report, false);
    data.articles = std::vector<std::string>();
    if (entries.empty()) {
        error = path + ": holds no usable entries";
        return false;
    }
    std::size_t length = 0;
    for (const BuiltEntry &entry : entries)
        length += entry.headword.size() + 12;
    indexText.reserve(length);
    partStart.reserve(entries.size() + 1);
    for (const BuiltEntry &entry : entries) {
        indexText += entry.headword;
        indexText += '\t';
        indexText += std::to_string(partStart.size() - 1);
        indexText += '\n';
        parts.insert(parts.end(), entry.parts.begin(), entry.parts.end());
        partStart.push_back(static_cast<std::uint32_t>(parts.size()));
    }
    parts.shrink_to_fit();
    if (!file.Open(data.dataPath, error))
        return false;
    for (const char type : data.typeSequence)
        if (std::string(1, type).find_first_of("mtygxh") == std::string::npos
            && skippedTypes.find(type) == std::string::npos)
            skippedTypes += type;
    return true;
}

std::uint64_t SourceDictionary::RecordPlace(std::uint32_t record) const
{
    return data.places[parts[partStart[record]].article].offset;
}

bool SourceDictionary::Article(DictzipFile &reader, std::uint32_t record, std::string &text,
    std::string &error, std::string &skipped) const
{
    text.clear();
    if (record >= RecordCount())
        return true;
    bool failed = false;
    std::string raw;
    const auto source = [&](std::uint32_t article) {
        if (failed || !ReadSourceArticle(reader, data, article, raw, skipped, error)) {
            failed = true;
            return std::string();
        }
        std::size_t unmapped = 0;
        return ConvertedArticle(raw, data.utf8, DictionaryEncoding::Utf8, unmapped);
    };
    const std::vector<ArticlePart> recordParts(
        parts.begin() + partStart[record], parts.begin() + partStart[record + 1]);
    std::size_t characters = 0;
    text = ComposeArticle(recordParts, source, DictionaryEncoding::Utf8, characters);
    if (failed)
        text.clear();
    return !failed;
}

bool SourceDictionary::Article(std::uint32_t record, std::string &text, std::string &error)
{
    const std::lock_guard<std::mutex> lock(reading);
    return Article(file, record, text, error, skippedTypes);
}
