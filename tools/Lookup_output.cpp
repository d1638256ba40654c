#include "Lookup_output.h"

#include <cstdio>

#include "storage/Article_lines.h"
#include "support/Code_page.h"

namespace {

// The length of the well-formed UTF-8 sequence at text[i], or 0 when the bytes there are not one.
std::size_t SequenceLength(const std::string &text, std::size_t i)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data()) + i;
    std::size_t length;
    // A U+FFFD of the text itself is three bytes long.
    if (DecodeUtf8(bytes, text.size() - i, length) == 0xFFFD && length == 1)
        return 0;
    return length;
}

std::string Escaped(unsigned code)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", code);
    return text;
}

std::string JsonNumber(std::int64_t value)
{
    return std::to_string(value);
}

} // namespace

std::string HexId(std::uint32_t id)
{
    char text[9];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(id));
    return text;
}

namespace {

bool forTerminal = false;

void AppendVisible(std::string &line, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size()
            && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (c == '\t' || c == '\n' || c == '\r') {
            line += ' ';
        } else if (c == '\\') {
            line += "\\\\";
        } else if (c == 0x1B) {
            line += "\\e";
        } else if (c < 0x20 || c == 0x7F || c1) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x",
                c1 ? static_cast<unsigned char>(text[++i]) : static_cast<unsigned>(c));
            line += escape;
        } else {
            line += static_cast<char>(c);
        }
    }
}

} // namespace

void SetTsvForTerminal(bool terminal)
{
    forTerminal = terminal;
}

void AppendTsvField(std::string &line, std::string_view text)
{
    if (forTerminal) {
        AppendVisible(line, text);
        return;
    }
    const std::size_t start = line.size();
    line.append(text);
    for (std::size_t i = start; i < line.size(); ++i)
        if (line[i] == '\t' || line[i] == '\n' || line[i] == '\r')
            line[i] = ' ';
}

std::string TsvField(const std::string &text)
{
    std::string field;
    AppendTsvField(field, text);
    return field;
}

std::string TsvAnswer(const LookupAnswer &answer, bool withShortName)
{
    std::string line = std::string(answer.found ? "1" : "0") + '\t' + HexId(answer.dicId) + '\t'
        + std::to_string(answer.index) + '\t' + std::to_string(answer.matchedLength) + '\t'
        + TsvField(answer.headword);
    if (answer.article)
        line += '\t' + TsvField(*answer.article);
    if (withShortName)
        line += '\t' + TsvField(answer.shortName);
    return line;
}

std::string JsonString(const std::string &utf8)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = SequenceLength(utf8, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (length == 1) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F)
                    out += Escaped(c);
                else
                    out += static_cast<char>(c);
            }
        } else if (utf8.compare(i, 3, "\xE2\x80\xA8") == 0
            || utf8.compare(i, 3, "\xE2\x80\xA9") == 0) {
            // Line and paragraph separators end a line in JavaScript and in some line readers.
            out += Escaped(utf8[i + 2] == '\xA8' ? 0x2028 : 0x2029);
        } else {
            out.append(utf8, i, length);
        }
        i += length;
    }
    return out + "\"";
}

std::string JsonAnswer(const LookupAnswer &answer)
{
    const auto orNull = [&](const std::string &value) { return answer.found ? value : "null"; };
    std::string object = "{\"query\":" + JsonString(answer.query) + ",\"found\":"
        + (answer.found ? "true" : "false") + ",\"exact\":" + (answer.exact ? "true" : "false")
        + ",\"id\":" + orNull(JsonString(HexId(answer.dicId))) + ",\"short_name\":"
        + orNull(JsonString(answer.shortName)) + ",\"index\":" + orNull(JsonNumber(answer.index))
        + ",\"matched_length\":" + JsonNumber(answer.matchedLength)
        + ",\"headword\":" + orNull(JsonString(answer.headword));
    if (answer.article)
        object += ",\"article\":" + orNull(JsonString(*answer.article));
    return object + "}";
}

std::string ArticleForAnswer(std::string article, bool keepLines, bool json)
{
    if (keepLines && !json)
        return article;
    return ReplaceLineBreaks(std::move(article), keepLines ? "\n" : " ");
}
