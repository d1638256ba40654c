#include "Lookup_output.h"

#include <cstdio>

namespace {

// The length of the well-formed UTF-8 sequence at text[i], or 0 when the bytes there are not one
// (overlong forms and surrogates included).
std::size_t SequenceLength(const std::string &text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - i < length || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
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

std::string TsvField(std::string text)
{
    for (char &c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
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
