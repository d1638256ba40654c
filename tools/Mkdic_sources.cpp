#include "Mkdic_sources.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <map>
#include <utility>
#include <zlib.h>

#include "storage/Plain_file.h"
#include "storage/Text_encoding.h"
#include "support/Code_page.h"

namespace {

bool EndsWith(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size()
        && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string WithoutSuffix(const std::string &text, const std::string &tail)
{
    return EndsWith(text, tail) ? text.substr(0, text.size() - tail.size()) : text;
}

// zlib reads gzip and dictzip files whole and passes any other file through unchanged, so one
// reader serves the plain and the compressed forms alike. Only plain files are opened: a FIFO
// would block and a folder would only fail later with a less helpful message.
bool ReadWholeFile(const std::string &path, std::string &bytes, std::string &error)
{
    if (!IsRegularFile(path)) {
        error = path + ": no such file, or not a plain file";
        return false;
    }
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    gzbuffer(file, 1 << 17);
    bytes.clear();
    char chunk[1 << 16];
    int got;
    while ((got = gzread(file, chunk, sizeof chunk)) > 0)
        bytes.append(chunk, static_cast<std::size_t>(got));
    int code = Z_OK;
    const char *message = gzerror(file, &code);
    const bool failed = got < 0 || (code != Z_OK && code != Z_STREAM_END);
    if (failed)
        error = path + ": " + (code == Z_ERRNO ? std::strerror(errno) : message)
            + " (damaged or cut-off file?)";
    gzclose(file);
    return !failed;
}

// The first of the candidates that exists.
std::string FirstExisting(const std::vector<std::string> &candidates)
{
    for (const std::string &path : candidates)
        if (IsRegularFile(path))
            return path;
    return std::string();
}

std::vector<std::string> SplitLines(const std::string &text, char lineEnd = '\n')
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(lineEnd, start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string LineEndsOf(const std::string &text, bool crOnly)
{
    if (crOnly)
        return "CR";
    bool crLf = false;
    bool lf = false;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        (at > 0 && text[at - 1] == '\r' ? crLf : lf) = true;
    return crLf && lf ? "CR LF and LF" : crLf ? "CR LF" : lf ? "LF" : "";
}

std::string Trim(const std::string &text)
{
    const char *blanks = " \t\r\n";
    const std::size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

// Editors on Windows start UTF-8 files with a byte-order mark; it is no part of the text.
bool DropByteOrderMark(std::string &text)
{
    if (text.compare(0, 3, "\xEF\xBB\xBF") != 0)
        return false;
    text.erase(0, 3);
    return true;
}

bool ChooseUtf8(TextEncoding encoding, const std::string &sample)
{
    if (encoding == TextEncoding::Auto)
        return IsUtf8(sample);
    return encoding == TextEncoding::Utf8;
}

std::string At(const std::string &path, std::size_t line)
{
    return path + ":" + std::to_string(line) + ": ";
}

bool ReadTsv(const std::string &path, TextEncoding encoding, SourceData &data, std::string &error)
{
    std::string text;
    if (!ReadWholeFile(path, text, error))
        return false;
    const bool marked = DropByteOrderMark(text);
    data.utf8 = (marked && encoding == TextEncoding::Auto) || ChooseUtf8(encoding, text);
    // Old Mac editors end lines with CR alone; a CR inside a line of a file with LF line ends
    // stays part of its article, as it always has.
    const std::size_t firstEnd = text.find_first_of("\r\n");
    const bool crOnly = firstEnd != std::string::npos && text[firstEnd] == '\r'
        && text.compare(firstEnd, 2, "\r\n") != 0;
    const std::vector<std::string> lines = SplitLines(text, crOnly ? '\r' : '\n');
    data.lineEnds = LineEndsOf(text, crOnly);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        if (Trim(line).empty())
            continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            error = At(path, i + 1) + "no TAB between the headword and the article";
            return false;
        }
        data.entries.push_back(
            {line.substr(0, tab), static_cast<std::uint32_t>(data.articles.size())});
        data.articles.push_back(line.substr(tab + 1));
    }
    return true;
}

// dictd writes offsets and lengths as base-64 numbers, most significant digit first.
bool DecodeBase64Number(const std::string &text, std::uint64_t &value)
{
    static const std::string digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (text.empty() || text.size() > 10)
        return false;
    value = 0;
    for (const char c : text) {
        const std::size_t digit = digits.find(c);
        if (digit == std::string::npos)
            return false;
        value = value * 64 + digit;
    }
    return true;
}

bool IsSpecialDictdName(const std::string &headword)
{
    return headword.compare(0, 12, "00-database-") == 0
        || headword.compare(0, 10, "00database") == 0;
}

// The text of a special entry after its own name line, first line only.
std::string SpecialValue(const std::string &name, const std::string &article)
{
    std::vector<std::string> lines = SplitLines(article);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string line = Trim(lines[i]);
        if (!line.empty() && !(i == 0 && line == name))
            return line;
    }
    return std::string();
}

bool ReadDictd(const std::string &path, TextEncoding encoding, SourceData &data, std::string &error)
{
    const std::string base = WithoutSuffix(path, ".index");
    const std::string dictPath = FirstExisting({base + ".dict.dz", base + ".dict"});
    if (dictPath.empty()) {
        error = path + ": neither " + base + ".dict.dz nor " + base + ".dict exists";
        return false;
    }
    std::string index;
    std::string dict;
    if (!ReadWholeFile(path, index, error) || !ReadWholeFile(dictPath, dict, error))
        return false;

    bool declaredUtf8 = DropByteOrderMark(index);
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::uint32_t> shared;
    const std::vector<std::string> lines = SplitLines(index);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        std::vector<std::string> fields;
        for (std::size_t start = 0;;) {
            const std::size_t tab = lines[i].find('\t', start);
            fields.push_back(lines[i].substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        if (fields.size() < 3 || !DecodeBase64Number(fields[1], offset)
            || !DecodeBase64Number(fields[2], length)) {
            error = At(path, i + 1) + "not a dictd index line (headword TAB offset TAB length)";
            return false;
        }
        if (offset > dict.size() || length > dict.size() - offset) {
            error = At(path, i + 1) + "the article lies beyond the end of " + dictPath;
            return false;
        }
        // Indexes written to keep the original spelling carry it in a fourth field.
        const std::string &headword =
            fields.size() > 3 && !fields[3].empty() ? fields[3] : fields[0];
        const std::string article = dict.substr(offset, length);
        if (IsSpecialDictdName(fields[0])) {
            ++data.specialEntries;
            data.specialHeadwords.push_back(fields[0]);
            if (fields[0] == "00-database-utf8" || fields[0] == "00databaseutf8")
                declaredUtf8 = true;
            else if (fields[0] == "00-database-short" || fields[0] == "00databaseshort")
                data.title = SpecialValue(fields[0], article);
            else if (fields[0] == "00-database-url" || fields[0] == "00databaseurl")
                data.origin = SpecialValue(fields[0], article);
            continue;
        }
        const auto [place, added] = shared.emplace(
            std::make_pair(offset, length), static_cast<std::uint32_t>(data.articles.size()));
        if (added)
            data.articles.push_back(article);
        data.entries.push_back({headword, place->second});
    }
    data.utf8 = encoding == TextEncoding::Auto ? declaredUtf8 || IsUtf8(dict)
                                               : encoding == TextEncoding::Utf8;
    data.headwordLineFirst = true;
    return true;
}

std::uint64_t BigEndian(const std::string &bytes, std::size_t at, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// A character reference may name anything: NUL or what is no character would break the
// line-based files written from this text.
void AppendReferencedCharacter(std::string &out, std::uint32_t code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    AppendUtf8(out, code);
}

// An article is shown as plain text, so markup goes; the tags that break lines leave a line end
// behind, which later becomes a space like every other line end of an article.
std::string StripMarkup(const std::string &text)
{
    static const char *const breaking[] = {
        "br", "p", "/p", "div", "/div", "li", "tr", "/tr", "dd", "dt"};
    static const std::pair<const char *, const char *> entities[] = {
        {"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '<') {
            const std::size_t close = text.find('>', i);
            if (close == std::string::npos)
                break;
            std::string name;
            for (std::size_t j = i + 1; j < close && !std::strchr(" \t\r\n>", text[j]); ++j)
                name += static_cast<char>(std::tolower(static_cast<unsigned char>(text[j])));
            if (!name.empty() && name.back() == '/')
                name.pop_back();
            for (const char *tag : breaking)
                if (name == tag)
                    out += '\n';
            i = close;
        } else if (c == '&') {
            const std::size_t end = text.find(';', i);
            const std::string name = end == std::string::npos || end - i > 10
                ? std::string()
                : text.substr(i + 1, end - i - 1);
            bool known = false;
            if (name.size() > 1 && name[0] == '#') {
                const bool hex = name[1] == 'x' || name[1] == 'X';
                const std::string digits = name.substr(hex ? 2 : 1);
                if (!digits.empty()
                    && digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789")
                        == std::string::npos) {
                    AppendReferencedCharacter(out,
                        static_cast<std::uint32_t>(std::stoul(digits, nullptr, hex ? 16 : 10)));
                    known = true;
                }
            }
            for (const auto &[entity, replacement] : entities)
                if (!known && name == entity) {
                    out += replacement;
                    known = true;
                }
            if (known)
                i = end;
            else
                out += c;
        } else {
            out += c;
        }
    }
    return out;
}

// One field of a StarDict article as text; binary fields (upper-case types) and resource lists
// give nothing.
std::string FieldText(char type, const std::string &field)
{
    switch (type) {
    case 'g':
    case 'h':
    case 'x':
    case 'k':
        return StripMarkup(field);
    case 't':
        return "[" + field + "]";
    case 'r':
        return std::string();
    default:
        return std::islower(static_cast<unsigned char>(type)) ? field : std::string();
    }
}

// Fields are either typed one by one or, with sametypesequence, typed once for the whole
// dictionary; then the last field runs to the end of the article and carries no terminator or
// size of its own.
bool DecodeStarDictArticle(const std::string &data, const std::string &sequence, std::string &text)
{
    std::size_t at = 0;
    std::size_t field = 0;
    text.clear();
    while (sequence.empty() ? at < data.size() : field < sequence.size()) {
        const char type = sequence.empty() ? data[at++] : sequence[field];
        const bool last = !sequence.empty() && field + 1 == sequence.size();
        ++field;
        std::string value;
        if (last) {
            value = data.substr(std::min(at, data.size()));
            at = data.size();
        } else if (std::islower(static_cast<unsigned char>(type))) {
            const std::size_t end = data.find('\0', at);
            if (end == std::string::npos)
                return false;
            value = data.substr(at, end - at);
            at = end + 1;
        } else {
            if (data.size() < at + 4)
                return false;
            const std::uint64_t size = BigEndian(data, at, 4);
            at += 4;
            if (size > data.size() - at)
                return false;
            at += size;
        }
        const std::string part = FieldText(type, value);
        if (!part.empty())
            text += (text.empty() ? "" : "\n") + part;
    }
    return true;
}

bool ReadStarDict(const std::string &path, SourceData &data, std::string &error)
{
    std::string ifo;
    if (!ReadWholeFile(path, ifo, error))
        return false;
    DropByteOrderMark(ifo);
    const std::vector<std::string> lines = SplitLines(ifo);
    if (lines.empty() || Trim(lines[0]) != "StarDict's dict ifo file") {
        error = path
            + ": not a StarDict .ifo file (its first line is not \"StarDict's dict ifo file\")";
        return false;
    }
    std::map<std::string, std::string> info;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t equals = lines[i].find('=');
        if (equals != std::string::npos)
            info[Trim(lines[i].substr(0, equals))] = Trim(lines[i].substr(equals + 1));
    }
    const std::string bits = info.count("idxoffsetbits") ? info["idxoffsetbits"] : "32";
    if (bits != "32" && bits != "64") {
        error = path + ": idxoffsetbits=" + bits + " (only 32 and 64 exist)";
        return false;
    }
    const std::string &count = info["wordcount"];
    if (count.empty() || count.size() > 10
        || count.find_first_not_of("0123456789") != std::string::npos) {
        error = path + ": wordcount is missing or not a number";
        return false;
    }
    const std::string base = WithoutSuffix(path, ".ifo");
    const std::string idxPath = FirstExisting({base + ".idx", base + ".idx.gz"});
    const std::string dictPath = FirstExisting({base + ".dict.dz", base + ".dict"});
    if (idxPath.empty() || dictPath.empty()) {
        error = path + ": " + base + (idxPath.empty() ? ".idx" : ".dict") + " is missing";
        return false;
    }
    std::string idx;
    std::string dict;
    if (!ReadWholeFile(idxPath, idx, error) || !ReadWholeFile(dictPath, dict, error))
        return false;

    const std::size_t offsetSize = bits == "64" ? 8 : 4;
    const std::string sequence = info["sametypesequence"];
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::uint32_t> shared;
    std::vector<std::uint32_t> articleOfWord;
    for (std::size_t at = 0; at < idx.size();) {
        const std::size_t end = idx.find('\0', at);
        const std::string where = idxPath + ": word " + std::to_string(articleOfWord.size() + 1);
        if (end == std::string::npos || idx.size() - end - 1 < offsetSize + 4) {
            error = where + " is cut off";
            return false;
        }
        const std::string headword = idx.substr(at, end - at);
        const std::uint64_t offset = BigEndian(idx, end + 1, offsetSize);
        const std::uint64_t size = BigEndian(idx, end + 1 + offsetSize, 4);
        at = end + 1 + offsetSize + 4;
        if (offset > dict.size() || size > dict.size() - offset) {
            error = where + " points beyond the end of " + dictPath;
            return false;
        }
        const auto [place, added] = shared.emplace(
            std::make_pair(offset, size), static_cast<std::uint32_t>(data.articles.size()));
        if (added) {
            std::string text;
            if (!DecodeStarDictArticle(dict.substr(offset, size), sequence, text)) {
                error = where + ": its article's fields run past its end";
                return false;
            }
            data.articles.push_back(std::move(text));
        }
        articleOfWord.push_back(place->second);
        data.entries.push_back({headword, place->second});
    }
    if (articleOfWord.size() != std::stoull(count)) {
        error = idxPath + ": holds " + std::to_string(articleOfWord.size()) + " words, " + path
            + " says wordcount=" + count;
        return false;
    }

    // Synonyms name a word of the index by its position.
    const std::string synPath = FirstExisting({base + ".syn", base + ".syn.dz"});
    std::string syn;
    if (!synPath.empty() && !ReadWholeFile(synPath, syn, error))
        return false;
    for (std::size_t at = 0; at < syn.size();) {
        const std::size_t end = syn.find('\0', at);
        if (end == std::string::npos || syn.size() - end - 1 < 4) {
            error = synPath + ": a synonym is cut off";
            return false;
        }
        const std::uint64_t word = BigEndian(syn, end + 1, 4);
        if (word >= articleOfWord.size()) {
            error =
                synPath + ": a synonym names word " + std::to_string(word) + ", beyond the index";
            return false;
        }
        data.entries.push_back({syn.substr(at, end - at), articleOfWord[word]});
        at = end + 5;
    }
    data.utf8 = true;
    data.title = info["bookname"];
    data.origin = info.count("website") ? info["website"] : info["author"];
    return true;
}

} // namespace

bool IsUtf8(const std::string &text)
{
    return Utf8Text::IsProgramText(text.data(), text.size());
}

std::optional<SourceFormat> FormatFromName(const std::string &path)
{
    const std::string name = WithoutSuffix(WithoutSuffix(path, ".gz"), ".dz");
    if (EndsWith(name, ".tsv") || EndsWith(name, ".txt") || EndsWith(name, ".tab"))
        return SourceFormat::Tsv;
    if (EndsWith(name, ".index"))
        return SourceFormat::Dictd;
    if (EndsWith(name, ".ifo"))
        return SourceFormat::StarDict;
    return std::nullopt;
}

bool ReadSource(const std::string &path, SourceFormat format, TextEncoding encoding,
    SourceData &data, std::string &error)
{
    data = SourceData();
    switch (format) {
    case SourceFormat::Tsv:
        return ReadTsv(path, encoding, data, error);
    case SourceFormat::Dictd:
        return ReadDictd(path, encoding, data, error);
    case SourceFormat::StarDict:
        return ReadStarDict(path, data, error);
    }
    return false;
}
