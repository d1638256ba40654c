#include "Mkdic_builder.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>
#include <unordered_map>

#include "Mkdic_interrupt.h"
#include "Mkdic_sources.h"
#include "storage/Database.h"
#include "storage/Text_encoding.h"
#include "support/Code_page.h"
#include "support/Utils.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned char CAPITAL_YO = 0xA8;
constexpr unsigned char SMALL_YO = 0xB8;
constexpr unsigned char CAPITAL_YE = 0xC5;
constexpr unsigned char SMALL_YE = 0xE5;
// Lookups beyond this many are spread over the dictionary: each one scans its letter's block.
constexpr std::size_t MAX_CHECKED_LOOKUPS = 5000;

bool IsBlank(unsigned char c)
{
    return c <= 0x20;
}

std::string TrimBlanks(const std::string &text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsBlank(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

// The inverse of ToUpper, used only to spell the small-yo second record of a headword.
std::string ToLower(std::string text)
{
    for (char &c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDF))
            c = static_cast<char>(byte + 0x20);
        else if (byte == CAPITAL_YO)
            c = static_cast<char>(SMALL_YO);
    }
    return text;
}

// Russian texts mark the stressed vowel with a combining acute accent. The word reads the same
// without it, and only without it can it be typed.
std::string WithoutStress(const std::string &utf8, bool &dropped)
{
    static const std::string STRESS = "\xCC\x81"; // U+0301
    dropped = false;
    std::string plain;
    plain.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        if (utf8.compare(i, STRESS.size(), STRESS) == 0) {
            dropped = true;
            i += STRESS.size();
        } else {
            plain += utf8[i++];
        }
    }
    return plain;
}

// Windows-1251 lacks the stress mark: where a '?' would spoil the word, the mark is dropped.
std::string ToAnsi(const std::string &text, bool utf8, std::size_t &unmapped, bool &stressDropped)
{
    unmapped = 0;
    stressDropped = false;
    if (!utf8)
        return text;
    return Utf8ToAnsi(WithoutStress(text, stressDropped), &unmapped);
}

// Source text in the dictionary's encoding. In UTF-8 every character is kept; stress marks go
// only when asked (from headwords, which must be typed).
std::string ToDictionaryText(const std::string &text, bool sourceUtf8, DictionaryEncoding encoding,
    bool dropStress, std::size_t &unmapped, bool &stressDropped)
{
    if (encoding == DictionaryEncoding::Cp1251)
        return ToAnsi(text, sourceUtf8, unmapped, stressDropped);
    unmapped = 0;
    stressDropped = false;
    std::string utf8 = sourceUtf8 ? ValidUtf8(text.data(), text.size()) : AnsiToUtf8(text);
    return dropStress ? WithoutStress(utf8, stressDropped) : utf8;
}

// Dictionary text as the report shows it.
std::string Shown(const std::string &text, DictionaryEncoding encoding)
{
    return encoding == DictionaryEncoding::Utf8 ? text : AnsiToUtf8(text);
}

// As the dictionary's lookups compare: ToUpper in Windows-1251, Unicode's simple mapping in UTF-8.
std::string Upper(const std::string &text, DictionaryEncoding encoding)
{
    if (encoding == DictionaryEncoding::Cp1251)
        return ToUpper(text);
    std::string upper;
    upper.reserve(text.size());
    const char *at = text.data();
    const char *const end = at + text.size();
    while (at < end)
        AppendUtf8(upper, UnicodeUpper(Utf8Text::Read(at, end)));
    return upper;
}

std::size_t Characters(const std::string &text, DictionaryEncoding encoding)
{
    return encoding == DictionaryEncoding::Utf8 ? Utf8Text::Count(text.data(), text.size())
                                                : text.size();
}

// The same word with ye for yo: Russian readers type "елка" for "ёлка".
std::string YoAsYe(std::string headword, DictionaryEncoding encoding)
{
    if (encoding == DictionaryEncoding::Utf8) {
        for (std::size_t at = 0; (at = headword.find_first_of("\xD0\xD1", at)) != std::string::npos;
             ++at) {
            if (headword.compare(at, 2, "\xD1\x91") == 0)
                headword.replace(at, 2, "\xD0\xB5");
            else if (headword.compare(at, 2, "\xD0\x81") == 0)
                headword.replace(at, 2, "\xD0\x95");
        }
        return headword;
    }
    for (char &c : headword) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == SMALL_YO)
            c = static_cast<char>(SMALL_YE);
        else if (byte == CAPITAL_YO)
            c = static_cast<char>(CAPITAL_YE);
    }
    return headword;
}

// An article is one line of the data file: every run of blanks that holds a line end becomes one
// space (dictd indents its continuation lines), and a zero byte, which would end the article
// early when it is read, becomes a space as well.
std::string OneLine(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = i;
        bool lineEnd = false;
        while (end < text.size() && std::strchr(" \t\r\n", text[end]) && text[end] != '\0') {
            lineEnd = lineEnd || text[end] == '\r' || text[end] == '\n';
            ++end;
        }
        if (end == i) {
            out += text[i] == '\0' ? ' ' : text[i];
            ++i;
        } else {
            out.append(lineEnd ? std::string(" ") : text.substr(i, end - i));
            i = end;
        }
    }
    return TrimBlanks(out);
}

// dictd repeats the headword as the article's first line, often in its proper spelling ("Unix"
// under "unix"): that line is dropped, and its spelling is kept for the headword.
void TakeHeadwordLine(std::string &headword, std::string &article, DictionaryEncoding encoding)
{
    const std::size_t end = article.find('\n');
    const std::string first = TrimBlanks(article.substr(0, end));
    if (first.empty() || Upper(first, encoding) != Upper(headword, encoding))
        return;
    headword = first;
    article.erase(0, end == std::string::npos ? article.size() : end + 1);
}

// The lookup finds a letter's block by the headword's first byte as stored and the query's first
// byte upper-cased, so a headword must start with a byte ToUpper leaves alone. The two yo letters
// are told apart by that comparison (ToUpper keeps the small one): such a headword is stored
// under the capital and again under the small letter, so that either spelling of a query finds it.
std::vector<std::string> Spellings(std::string headword)
{
    auto &first = reinterpret_cast<unsigned char &>(headword[0]);
    if (first != CAPITAL_YO && first != SMALL_YO) {
        first = ToUpperByte(first);
        return {headword};
    }
    first = CAPITAL_YO;
    return {headword, static_cast<char>(SMALL_YO) + ToLower(headword.substr(1))};
}

void CutArticle(BuiltEntry &entry, DictionaryEncoding encoding, BuildReport &report)
{
    const std::size_t characters = Characters(entry.article, encoding);
    if (characters > MAX_ARTICLE) {
        report.notes.push_back({"cut", Shown(entry.headword, encoding),
            "article of " + std::to_string(characters) + " characters cut to "
                + std::to_string(MAX_ARTICLE)});
        entry.article.resize(encoding == DictionaryEncoding::Utf8
                ? Utf8Text::BytesOf(entry.article.data(), entry.article.size(), MAX_ARTICLE)
                : MAX_ARTICLE);
        ++report.cutArticles;
    }
}

std::vector<BuiltEntry> FoldDuplicates(
    std::vector<BuiltEntry> entries, DictionaryEncoding encoding, BuildReport &report)
{
    std::vector<BuiltEntry> folded;
    std::vector<std::string> parts; // the articles joined into folded.back()
    for (BuiltEntry &entry : entries) {
        if (folded.empty() || folded.back().key != entry.key) {
            parts.assign(1, entry.article);
            folded.push_back(std::move(entry));
            continue;
        }
        ++report.mergedHeadwords;
        report.notes.push_back({"merged", Shown(entry.headword, encoding),
            "reads the same as " + Shown(folded.back().headword, encoding) + ": articles joined"});
        // The same article under two spellings of one word is not repeated.
        if (std::find(parts.begin(), parts.end(), entry.article) == parts.end()) {
            folded.back().article += " | " + entry.article;
            parts.push_back(std::move(entry.article));
        }
    }
    return folded;
}

bool WriteFile(const fs::path &path, const std::string &bytes, std::string &error)
{
    std::ofstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        error = path.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string AttributeFile(const DictionaryLabels &labels)
{
    char id[16];
    std::snprintf(id, sizeof id, "%X", static_cast<unsigned>(labels.id));
    const std::pair<const char *, std::string> lines[] = {
        {"FORMAT_VERSION", "1.0"},
        {"ENCODING", labels.encoding == DictionaryEncoding::Utf8 ? "UTF-8" : "cp1251"},
        {"DIC_ID", id},
        {"DIC_VERSION", labels.version},
        {"CATEGORY", labels.category},
        {"SHORT_NAME", labels.shortName},
        {"LONG_NAME", labels.longName},
        {"SOURCE", labels.source},
    };
    std::u16string text;
    for (const auto &[key, value] : lines)
        text += AnsiToUtf16(std::string(key) + "=" + value + "\r\n");
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

bool WriteDictionaryFiles(const fs::path &folder, const DictionaryLabels &labels,
    const std::vector<BuiltEntry> &entries, BuildReport &report, std::string &error)
{
    const std::string name = folder.filename().string();
    std::string data;
    std::string index;
    std::unordered_map<std::string, std::size_t> written;
    for (const BuiltEntry &entry : entries) {
        const auto [place, added] = written.emplace(entry.article, data.size());
        if (added) {
            // Offsets are read back as signed 32-bit numbers.
            if (data.size() > static_cast<std::size_t>(INT32_MAX)) {
                error = "the articles take more than 2 GB: split the dictionary";
                return false;
            }
            data += entry.article;
            data += '\n';
        }
        index += entry.headword + '\t' + std::to_string(place->second) + '\n';
    }
    report.headwords = entries.size();
    report.articles = written.size();
    return WriteFile(folder / (name + ".dat"), data, error)
        && WriteFile(folder / (name + ".idx"), index, error)
        && WriteFile(folder / (name + ".inf"), AttributeFile(labels), error);
}

// The positions whose lookups are tried: the first word of every letter block, then an even
// spread of the rest.
std::vector<std::size_t> LookupSample(const std::vector<BuiltEntry> &entries)
{
    std::vector<std::size_t> sample;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (i == 0 || entries[i].headword[0] != entries[i - 1].headword[0])
            sample.push_back(i);
    const std::size_t step = std::max<std::size_t>(1, entries.size() / MAX_CHECKED_LOOKUPS);
    for (std::size_t i = 0; i < entries.size(); i += step)
        sample.push_back(i);
    return sample;
}

bool Verify(const fs::path &root, const DictionaryLabels &labels,
    const std::vector<BuiltEntry> &entries, std::string &error)
{
    Database database("", nullptr, root.string());
    database.Load();
    if (database.GetCount() != 1) {
        error = "the dictionary written does not load";
        return false;
    }
    Dictionary &dictionary = *database.GetDictionary(0);
    const DictionaryAttributes &attributes = dictionary.GetAttributes();
    // The dictionary gives its text out as UTF-8; the attribute values were Windows-1251.
    const auto Utf8 = [&labels](const std::string &text) {
        return labels.encoding == DictionaryEncoding::Utf8
            ? text
            : Cp1251Text::ProgramText(text.data(), text.size());
    };
    const auto Label = [](const std::string &ansi) {
        return Cp1251Text::ProgramText(ansi.data(), ansi.size());
    };
    if (dictionary.GetId() != labels.id || attributes.category != Label(labels.category)
        || attributes.shortName != Label(labels.shortName)
        || attributes.longName != Label(labels.longName)
        || attributes.source != Label(labels.source)) {
        error = "the attributes read back differ from those written";
        return false;
    }
    if (dictionary.GetWordCount() != entries.size()) {
        error = "the index read back holds " + std::to_string(dictionary.GetWordCount())
            + " words, not " + std::to_string(entries.size());
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto position = static_cast<std::int32_t>(i);
        if (dictionary.GetWord(position) != Utf8(entries[i].headword)
            || dictionary.GetArticle(position) != Utf8(entries[i].article)) {
            error = "word " + std::to_string(i) + " reads back differently";
            return false;
        }
    }
    for (const std::size_t i : LookupSample(entries)) {
        std::uint32_t found = 0;
        std::int32_t matched = 0;
        if (!dictionary.FindWord(Utf8(entries[i].headword), found, matched) || matched != -1
            || found >= entries.size()
            || Upper(entries[found].headword, labels.encoding) != entries[i].key) {
            error = "a lookup of \"" + Utf8(entries[i].headword) + "\" does not find it";
            return false;
        }
    }
    return true;
}

// What --force may replace: an empty folder or one holding only a dictionary's own files.
bool HoldsOnlyDictionary(const fs::path &folder)
{
    const std::string name = folder.filename().string();
    std::error_code code;
    for (fs::directory_iterator entry(folder, code), end; !code && entry != end;
         entry.increment(code)) {
        const std::string file = entry->path().filename().string();
        if (!entry->is_regular_file()
            || (file != name + ".inf" && file != name + ".idx" && file != name + ".dat"))
            return false;
    }
    return !code;
}

bool Exists(const fs::path &path)
{
    std::error_code code;
    return fs::symlink_status(path, code).type() != fs::file_type::not_found;
}

bool CheckTarget(const fs::path &target, bool replace, std::string &error)
{
    if (!Exists(target))
        return true;
    if (!replace)
        error = target.string() + " already exists (--force replaces it)";
    else if (fs::is_symlink(target) || !fs::is_directory(target) || !HoldsOnlyDictionary(target))
        error = target.string() + " holds more than a dictionary's three files: not replaced";
    else
        return true;
    return false;
}

// The old folder goes aside into the work folder first, so that the new one can take its
// name with a single rename, and comes back if that rename fails.
// A folder that appeared under the target's name while the dictionary was built is not
// silently replaced, as a plain rename would replace an empty one.
int RenameNoReplace(const fs::path &from, const fs::path &to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (Exists(to)) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(from.c_str(), to.c_str());
}

bool MoveIntoPlace(
    const fs::path &built, const fs::path &target, const fs::path &work, std::string &error)
{
    const fs::path old = work / "replaced";
    const bool hadOld = Exists(target);
    if (hadOld && std::rename(target.c_str(), old.c_str()) != 0) {
        error = target.string() + ": " + std::strerror(errno);
        return false;
    }
    if (RenameNoReplace(built, target) != 0) {
        error = target.string() + ": " + std::strerror(errno);
        if (hadOld)
            std::rename(old.c_str(), target.c_str());
        return false;
    }
    return true;
}

} // namespace

bool FitsWindows1251(const SourceData &data)
{
    if (!data.utf8)
        return true;
    const auto fits = [](const std::string &text) {
        bool stressed = false;
        std::size_t unmapped = 0;
        Utf8ToAnsi(WithoutStress(text, stressed), &unmapped);
        return unmapped == 0;
    };
    for (const SourceEntry &entry : data.entries)
        if (!fits(entry.headword))
            return false;
    return std::all_of(data.articles.begin(), data.articles.end(), fits);
}

std::vector<BuiltEntry> PrepareEntries(
    const SourceData &data, Duplicates duplicates, DictionaryEncoding encoding, BuildReport &report)
{
    std::vector<std::optional<std::string>> articles(data.articles.size());
    std::vector<BuiltEntry> entries;
    entries.reserve(data.entries.size());
    for (const SourceEntry &source : data.entries) {
        const std::string shown = data.utf8 ? source.headword : AnsiToUtf8(source.headword);
        const auto note = [&](const char *action, const std::string &reason) {
            report.notes.push_back({action, shown, reason});
        };
        std::size_t unmapped = 0;
        bool stressed = false;
        std::string headword =
            ToDictionaryText(source.headword, data.utf8, encoding, true, unmapped, stressed);
        for (char &c : headword)
            if (static_cast<unsigned char>(c) < 0x20)
                c = ' ';
        headword = TrimBlanks(headword);
        if (unmapped > 0) {
            ++report.unmappedHeadwords;
            note("skipped", "headword has a character without a Windows-1251 counterpart");
            continue;
        }
        std::optional<std::string> &converted = articles[source.article];
        if (!converted) {
            bool articleStressed = false;
            converted = ToDictionaryText(data.articles[source.article], data.utf8, encoding,
                encoding == DictionaryEncoding::Cp1251, unmapped, articleStressed);
            report.unmappedCharacters += unmapped;
            if (unmapped > 0)
                note("changed",
                    std::to_string(unmapped)
                        + " characters without a Windows-1251 counterpart written as ?");
            stressed = stressed || articleStressed;
        }
        std::string article = *converted;
        if (data.headwordLineFirst && !headword.empty())
            TakeHeadwordLine(headword, article, encoding);
        if (headword.empty()) {
            ++report.emptyHeadwords;
            note("skipped", "empty headword");
            continue;
        }
        if (Characters(headword, encoding) > MAX_HEADWORD) {
            ++report.longHeadwords;
            note("skipped",
                "headword of " + std::to_string(Characters(headword, encoding))
                    + " characters, over " + std::to_string(MAX_HEADWORD));
            continue;
        }
        if (stressed) {
            ++report.stressedEntries;
            note("changed", "stress marks dropped");
        }
        article = OneLine(article);
        std::vector<std::string> forms{headword};
        if (const std::string ye = YoAsYe(headword, encoding); ye != headword) {
            forms.push_back(ye);
            ++report.yeSpellings;
        }
        for (const std::string &form : forms) {
            // A UTF-8 dictionary finds a block by its first character upper-cased, yo included.
            const std::vector<std::string> spellings = encoding == DictionaryEncoding::Utf8
                ? std::vector<std::string>{form}
                : Spellings(form);
            report.yoAliases += spellings.size() - 1;
            for (const std::string &spelling : spellings)
                entries.push_back({spelling, Upper(spelling, encoding), article});
        }
    }
    // Stable, so that entries with one headword keep the source's order.
    std::stable_sort(entries.begin(), entries.end(),
        [](const BuiltEntry &a, const BuiltEntry &b) { return a.key < b.key; });
    if (duplicates == Duplicates::Merge)
        entries = FoldDuplicates(std::move(entries), encoding, report);
    for (BuiltEntry &entry : entries)
        CutArticle(entry, encoding, report);
    return entries;
}

bool MakeAttributeValue(const std::string &key, const std::string &utf8, bool cut,
    std::string &value, std::size_t *unmapped)
{
    std::size_t replaced = 0;
    bool stressed = false;
    value = ToAnsi(utf8, true, replaced, stressed);
    if (unmapped)
        *unmapped = replaced;
    for (char &c : value)
        if (c == '\r' || c == '\n')
            c = ' ';
    value = TrimBlanks(value);
    // One Windows-1251 byte is one UTF-16 unit.
    const std::size_t room = MAX_ATTRIBUTE_LINE - key.size() - 1;
    if (value.size() <= room)
        return true;
    if (!cut)
        return false;
    value = TrimBlanks(value.substr(0, room));
    return true;
}

bool MakeDictionaryFolder(const std::string &target, bool replace, const DictionaryLabels &labels,
    const std::vector<BuiltEntry> &entries, BuildReport &report, std::string &error)
{
    const fs::path targetPath = fs::path(target).lexically_normal();
    const fs::path clean = targetPath.has_filename() ? targetPath : targetPath.parent_path();
    const std::string name = clean.filename().string();
    fs::path parent = clean.parent_path();
    if (parent.empty())
        parent = ".";
    if (!fs::is_directory(parent)) {
        error = "the folder " + parent.string() + " does not exist";
        return false;
    }
    if (!CheckTarget(clean, replace, error))
        return false;

    std::string pattern = (parent / ("." + name + ".mkdic-XXXXXX")).string();
    fs::path work;
    fs::path built;
    {
        // A stop between making the work folder and arming its removal would leave it behind.
        const StopSignalsHeld held;
        if (!mkdtemp(pattern.data())) {
            error =
                "cannot create a work folder in " + parent.string() + ": " + std::strerror(errno);
            return false;
        }
        work = pattern;
        built = work / name;
        const std::vector<std::string> files = {(built / (name + ".dat")).string(),
            (built / (name + ".idx")).string(), (built / (name + ".inf")).string()};
        if (!ArmInterruptCleanup(files, {built.string(), work.string()})) {
            rmdir(work.c_str());
            error = "the path " + work.string() + " is too long";
            return false;
        }
    }
    std::error_code code;
    bool done = fs::create_directory(built, code);
    if (!done)
        error = built.string() + ": " + code.message();
    done = done && WriteDictionaryFiles(built, labels, entries, report, error)
        && Verify(work, labels, entries, error);
    // The old folder lies in the work folder while the new one takes its place: a stop now
    // waits until both are where they belong.
    const StopSignalsHeld held;
    done = done && CheckTarget(clean, replace, error) && MoveIntoPlace(built, clean, work, error);
    fs::remove_all(work, code);
    DisarmInterruptCleanup();
    return done;
}
