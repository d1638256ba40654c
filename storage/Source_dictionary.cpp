#include "Source_dictionary.h"

#include "storage/Source_cache.h"

bool SourceDictionary::Open(
    const std::string &path, std::string &error, const std::string &cacheFolder)
{
    const std::optional<SourceFormat> format = FormatFromName(path);
    if (!format || *format == SourceFormat::Tsv) {
        error = path + ": neither a dictd .index nor a StarDict .ifo";
        return false;
    }
    const std::string stamp = cacheFolder.empty() ? std::string() : SourceStamp(path);
    const std::string cachePath =
        cacheFolder.empty() ? std::string() : SourceCachePath(cacheFolder, path);
    SourceSortResult sorted;
    fromCache = !cacheFolder.empty() && ReadSourceCache(cachePath, stamp, sorted);
    if (!fromCache) {
        sorted = SourceSortResult();
        // Only a dictd headword looks at its article, and only at the first line.
        if (!ReadSource(path, *format, TextEncoding::Auto, sorted.data, error,
                *format == SourceFormat::Dictd ? ArticleText::FirstLine : ArticleText::None))
            return false;
        BuildReport report;
        const std::vector<BuiltEntry> entries =
            PrepareEntries(sorted.data, Duplicates::Merge, DictionaryEncoding::Utf8, report, false);
        sorted.data.articles = std::vector<std::string>();
        if (entries.empty()) {
            error = path + ": holds no usable entries";
            return false;
        }
        std::size_t length = 0;
        for (const BuiltEntry &entry : entries)
            length += entry.headword.size() + 12;
        sorted.indexText.reserve(length);
        sorted.partStart.reserve(entries.size() + 1);
        sorted.partStart.push_back(0);
        for (const BuiltEntry &entry : entries) {
            sorted.indexText += entry.headword;
            sorted.indexText += '\t';
            sorted.indexText += std::to_string(sorted.partStart.size() - 1);
            sorted.indexText += '\n';
            sorted.parts.insert(sorted.parts.end(), entry.parts.begin(), entry.parts.end());
            sorted.partStart.push_back(static_cast<std::uint32_t>(sorted.parts.size()));
        }
        sorted.parts.shrink_to_fit();
        // A cache that cannot be written costs the next start time, nothing else.
        if (!cacheFolder.empty())
            WriteSourceCache(cachePath, stamp, sorted);
    }
    if (!file.Open(sorted.data.dataPath, error))
        return false;
    for (const SourcePlace &place : sorted.data.places)
        if (place.offset > file.Size() || place.length > file.Size() - place.offset) {
            error = path + ": an article lies beyond the end of " + sorted.data.dataPath;
            return false;
        }
    data = std::move(sorted.data);
    indexText = std::move(sorted.indexText);
    partStart = std::move(sorted.partStart);
    parts = std::move(sorted.parts);
    for (const char type : data.typeSequence)
        if (std::string("mtygxh").find(type) == std::string::npos
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
