#include "Stardict_files.h"

#include <cctype>
#include <cstring>
#include <map>
#include <utility>

#include "storage/Text_encoding.h"

namespace {

std::string Trim(std::string_view text)
{
    const char *blanks = " \t\r\n";
    const std::size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string_view::npos)
        return std::string();
    return std::string(text.substr(begin, text.find_last_not_of(blanks) - begin + 1));
}

bool ParseCount(const std::string &text, std::uint64_t &value)
{
    if (text.empty() || text.size() > 19
        || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoull(text);
    return true;
}

std::uint64_t BigEndian(std::string_view bytes, std::size_t at, std::size_t size)
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

bool IsTextType(char type)
{
    return std::strchr("mtygxh", type) != nullptr && type != '\0';
}

std::string FieldText(char type, std::string_view field)
{
    switch (type) {
    case 'g':
    case 'h':
    case 'x':
        return StripMarkup(field);
    case 't':
        return "[" + std::string(field) + "]";
    default:
        return std::string(field);
    }
}

} // namespace

bool ParseIfo(std::string text, StarDictInfo &info, std::string &reason)
{
    info = StarDictInfo();
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    std::map<std::string, std::string> values;
    bool first = true;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (first) {
            if (Trim(line) != "StarDict's dict ifo file") {
                reason = "not a StarDict .ifo file (its first line is not \"StarDict's dict ifo "
                         "file\")";
                return false;
            }
            first = false;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos)
            values[Trim(line.substr(0, equals))] = Trim(line.substr(equals + 1));
    }
    if (first) {
        reason = "not a StarDict .ifo file (it is empty)";
        return false;
    }
    info.version = values["version"];
    if (info.version != "2.4.2" && info.version != "3.0.0") {
        reason = "version=" + info.version + " (only 2.4.2 and 3.0.0 exist)";
        return false;
    }
    const std::string bits = values.count("idxoffsetbits") ? values["idxoffsetbits"] : "32";
    if (bits != "32" && bits != "64") {
        reason = "idxoffsetbits=" + bits + " (only 32 and 64 exist)";
        return false;
    }
    info.offsetBytes = bits == "64" ? 8 : 4;
    if (!ParseCount(values["wordcount"], info.wordCount)) {
        reason = "wordcount is missing or not a number";
        return false;
    }
    if (values.count("synwordcount") && !ParseCount(values["synwordcount"], info.synWordCount)) {
        reason = "synwordcount is not a number";
        return false;
    }
    if (values.count("idxfilesize")) {
        if (!ParseCount(values["idxfilesize"], info.idxFileSize)) {
            reason = "idxfilesize is not a number";
            return false;
        }
        info.hasIdxFileSize = true;
    }
    info.bookName = values["bookname"];
    info.website = values["website"];
    info.author = values["author"];
    info.sameTypeSequence = values["sametypesequence"];
    return true;
}

bool ParseIdx(std::string_view idx, unsigned offsetBytes, std::vector<StarDictWord> &words,
    std::string &reason)
{
    words.clear();
    for (std::size_t at = 0; at < idx.size();) {
        const std::size_t end = idx.find('\0', at);
        if (end == std::string_view::npos || idx.size() - end - 1 < offsetBytes + 4) {
            reason = "word " + std::to_string(words.size() + 1) + " is cut off";
            return false;
        }
        StarDictWord word;
        word.headword = idx.substr(at, end - at);
        word.offset = BigEndian(idx, end + 1, offsetBytes);
        word.size = static_cast<std::uint32_t>(BigEndian(idx, end + 1 + offsetBytes, 4));
        words.push_back(word);
        at = end + 1 + offsetBytes + 4;
    }
    return true;
}

bool ParseSyn(std::string_view syn, std::uint64_t wordCount, std::vector<StarDictSynonym> &synonyms,
    std::string &reason)
{
    synonyms.clear();
    for (std::size_t at = 0; at < syn.size();) {
        const std::size_t end = syn.find('\0', at);
        if (end == std::string_view::npos || syn.size() - end - 1 < 4) {
            reason = "synonym " + std::to_string(synonyms.size() + 1) + " is cut off";
            return false;
        }
        const std::uint64_t word = BigEndian(syn, end + 1, 4);
        if (word >= wordCount) {
            reason = "a synonym names word " + std::to_string(word) + ", beyond the index";
            return false;
        }
        synonyms.push_back({syn.substr(at, end - at), static_cast<std::uint32_t>(word)});
        at = end + 5;
    }
    return true;
}

std::string StripMarkup(std::string_view text)
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
            if (close == std::string_view::npos)
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
            const std::string name = end == std::string_view::npos || end - i > 10
                ? std::string()
                : std::string(text.substr(i + 1, end - i - 1));
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

bool DecodeStarDictArticle(
    std::string_view data, const std::string &sequence, std::string &text, std::string &skipped)
{
    std::size_t at = 0;
    std::size_t field = 0;
    text.clear();
    while (sequence.empty() ? at < data.size() : field < sequence.size()) {
        const char type = sequence.empty() ? data[at++] : sequence[field];
        const bool last = !sequence.empty() && field + 1 == sequence.size();
        ++field;
        std::string_view value;
        if (last) {
            value = data.substr(std::min(at, data.size()));
            at = data.size();
        } else if (std::islower(static_cast<unsigned char>(type))) {
            const std::size_t end = data.find('\0', at);
            if (end == std::string_view::npos)
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
        if (!IsTextType(type)) {
            if (skipped.find(type) == std::string::npos)
                skipped += type;
            continue;
        }
        const std::string part = FieldText(type, value);
        if (!part.empty())
            text += (text.empty() ? "" : "\n") + part;
    }
    return true;
}
