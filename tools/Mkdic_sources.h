#ifndef TOOLS_MKDIC_SOURCES_H
#define TOOLS_MKDIC_SOURCES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class SourceFormat
{
    Tsv,
    Dictd,
    StarDict
};

enum class TextEncoding
{
    Auto, // UTF-8 when every byte of the text is valid UTF-8, else Windows-1251
    Utf8,
    Cp1251
};

struct SourceEntry
{
    std::string headword;
    std::uint32_t article; // position in SourceData::articles
};

// Everything a source holds, still in its own encoding. Several entries may share an article.
struct SourceData
{
    std::vector<std::string> articles;
    std::vector<SourceEntry> entries;
    bool utf8 = true; // else Windows-1251
    // dictd articles begin with their headword on a line of its own.
    bool headwordLineFirst = false;
    std::string title; // the source's own name of itself, when it gives one
    std::string origin; // where it says it comes from
    std::size_t specialEntries = 0; // dictd's 00-database-* entries, not taken as words
    std::vector<std::string> specialHeadwords; // their names
    std::string lineEnds; // of a tab-separated text: "LF", "CR LF", "CR", or both of the first two
};

// By the input's file name: .tsv/.txt/.tab, .index, .ifo (a trailing .gz or .dz ignored).
std::optional<SourceFormat> FormatFromName(const std::string &path);

// Reads a source; on failure returns false with a one-line reason that names the file. Every
// offset and length the source gives is checked against its data before anything is taken.
bool ReadSource(const std::string &path, SourceFormat format, TextEncoding encoding,
    SourceData &data, std::string &error);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string &text);

#endif // TOOLS_MKDIC_SOURCES_H
