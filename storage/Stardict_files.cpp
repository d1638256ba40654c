#include "Stardict_files.h"

#include <cctype>
#include <cstring>
#include <map>
#include <utility>

#include "storage/Article_lines.h"
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

bool IsTextType(char type)
{
    return type != '\0' && std::strchr("mtygxh", type) != nullptr;
}

// The markup a field type's text carries.
ArticleMarkup TypeMarkup(char type)
{
    return type == 'g' ? ArticleMarkup::Pango
        : type == 'x'  ? ArticleMarkup::Xdxf
        : type == 'h'  ? ArticleMarkup::Html
                       : ArticleMarkup::Plain;
}

// Text set into tags: its own <, > and & would be read as markup, and in HTML a line end is a
// blank where the author meant a line.
std::string Escaped(std::string_view text, ArticleMarkup markup)
{
    if (!MarkupHasTags(markup))
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else if (markup == ArticleMarkup::Html && (c == '\n' || c == '\r')) {
            out += "<br>";
            if (text.compare(i, 2, "\r\n") == 0)
                ++i;
        } else
            out += c;
    }
    return out;
}

// Tags kept as written. A line end is a stored line break in Pango and XDXF text, but a blank in
// HTML and inside any tag, where a break would cut a name or a value.
std::string TagsKept(std::string_view text, ArticleMarkup markup)
{
    std::string out(text);
    bool inTag = false;
    for (char &c : out) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if ((c == '\n' || c == '\r') && (inTag || markup == ArticleMarkup::Html))
            c = ' ';
    }
    return out;
}

std::string FieldText(char type, std::string_view field, ArticleMarkup markup)
{
    const ArticleMarkup own = TypeMarkup(type);
    if (own == markup && MarkupHasTags(own))
        return TagsKept(field, markup);
    if (MarkupHasTags(own))
        return Escaped(ReplaceLineBreaks(PlainText(field, own), "\n"), markup);
    if (type == 't')
        return Escaped("[" + std::string(field) + "]", markup);
    return Escaped(field, markup);
}

// Hands each field of an article to take, with its type; false when a field runs past the end.
template <class Take>
bool ForEachField(std::string_view data, const std::string &sequence, Take take)
{
    std::size_t at = 0;
    std::size_t field = 0;
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
        take(type, value);
    }
    return true;
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

std::string StarDictTextTypes(std::string_view data, const std::string &sequence)
{
    std::string types;
    const auto add = [&types](char type, std::string_view = {}) {
        if (IsTextType(type) && types.find(type) == std::string::npos)
            types += type;
    };
    if (sequence.empty())
        ForEachField(data, sequence, add);
    for (const char type : sequence)
        add(type);
    return types;
}

ArticleMarkup StarDictMarkup(const std::string &types)
{
    for (const char type : {'h', 'x', 'g'})
        if (types.find(type) != std::string::npos)
            return TypeMarkup(type);
    return ArticleMarkup::Plain;
}

bool DecodeStarDictArticle(std::string_view data, const std::string &sequence, ArticleMarkup markup,
    std::string &text, std::string &skipped)
{
    text.clear();
    // Fields go on lines of their own, which HTML would run together.
    const char *between = markup == ArticleMarkup::Html ? "<br>" : "\n";
    return ForEachField(data, sequence, [&](char type, std::string_view value) {
        if (!IsTextType(type)) {
            if (skipped.find(type) == std::string::npos)
                skipped += type;
            return;
        }
        const std::string part = FieldText(type, value, markup);
        if (part.empty())
            return;
        if (!text.empty())
            text += between;
        text += part;
    });
}
