#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "storage/Installed_sources.h"
#include "storage/Text_encoding.h"
#include "support/Code_page.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string DICS = SAMPLE_DICS;
const std::string TOLK = "7a1c0001";
const std::string ENC = "3e0c0002";
const std::string MISC = "f01d0c05";
const std::string NO_DICTIONARY = "Не найдено ни одного словаря";

// The tool as a child process with its three standard streams on pipes. Every wait has a
// deadline, so a tool that hangs fails the test instead of blocking it.
class Tool
{
public:
    explicit Tool(const std::vector<std::string> &arguments, const std::string &folder = "")
    {
        std::signal(SIGPIPE, SIG_IGN);
        int in[2], out[2], err[2];
        if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
            throw std::runtime_error("pipe");
        pid = fork();
        if (pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
                close(fd);
            if (!folder.empty() && chdir(folder.c_str()) != 0)
                _exit(127);
            std::vector<char *> argv{const_cast<char *>(LOOKUP_TOOL)};
            for (const auto &argument : arguments)
                argv.push_back(const_cast<char *>(argument.c_str()));
            argv.push_back(nullptr);
            execv(LOOKUP_TOOL, argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        input = in[1];
        output = out[0];
        errors = err[0];
    }
    Tool(const Tool &) = delete;
    Tool &operator=(const Tool &) = delete;
    ~Tool()
    {
        CloseInput();
        if (pid > 0 && status < 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(output);
        close(errors);
    }

    void Write(const std::string &text)
    {
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t n = write(input, text.data() + done, text.size() - done);
            if (n <= 0)
                return;
            done += static_cast<std::size_t>(n);
        }
    }

    void CloseInput()
    {
        if (input >= 0)
            close(input);
        input = -1;
    }

    // One line of standard output without its LF; false on timeout or at the end of output.
    bool ReadLine(std::string &line, int timeoutMs = 5000)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto end = outText.find('\n');
            if (end != std::string::npos) {
                line = outText.substr(0, end);
                outText.erase(0, end + 1);
                return true;
            }
            if (!ReadSome(output, outText, deadline))
                return false;
        }
    }

    // Closes standard input, collects both outputs to their end and waits for the exit status.
    void Finish(int timeoutMs = 10000)
    {
        CloseInput();
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (ReadSome(output, outText, deadline)) { }
        while (ReadSome(errors, errText, deadline)) { }
        while (Clock::now() < deadline) {
            int raw = 0;
            if (waitpid(pid, &raw, WNOHANG) == pid) {
                status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
                return;
            }
            usleep(10000);
        }
        ADD_FAILURE() << "the tool did not end in time";
    }

    int status = -1;
    std::string outText;
    std::string errText;

private:
    static bool ReadSome(int fd, std::string &text, Clock::time_point deadline)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd wanted{fd, POLLIN, 0};
        if (poll(&wanted, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        text.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid = -1;
    int input = -1;
    int output = -1;
    int errors = -1;
};

struct Result
{
    int status;
    std::vector<std::string> lines;
    std::string errors;
};

Result RunTool(const std::vector<std::string> &arguments, const std::string &queries = "",
    const std::string &folder = "")
{
    Tool tool(arguments, folder);
    tool.Write(queries);
    tool.Finish();
    std::vector<std::string> lines;
    std::istringstream text(tool.outText);
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return {tool.status, lines, tool.errText};
}

std::vector<std::string> Fields(const std::string &line)
{
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (auto end = line.find('\t'); end != std::string::npos; end = line.find('\t', start)) {
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

// The records of a sample index file, read here independently of the program's index reader.
std::vector<std::string> Headwords(const std::string &folder)
{
    std::ifstream file(DICS + "/" + folder + "/" + folder + ".idx", std::ios::binary);
    std::vector<std::string> headwords;
    for (std::string record; std::getline(file, record);)
        headwords.push_back(AnsiToUtf8(record.substr(0, record.find('\t'))));
    return headwords;
}

std::string IndexOf(const std::string &folder, const std::string &headword)
{
    const auto headwords = Headwords(folder);
    for (std::size_t i = 0; i < headwords.size(); ++i)
        if (headwords[i] == headword)
            return std::to_string(i);
    return "absent";
}

std::string Answer(const std::string &found, const std::string &folder, const std::string &id,
    const std::string &matched, const std::string &headword)
{
    const std::string index = folder.empty() ? "0" : IndexOf(folder, headword);
    return found + "\t" + id + "\t" + index + "\t" + matched + "\t" + headword;
}

// The tool with its standard output on a terminal of its own, in raw mode so that line ends pass
// as written: what it wrote there.
std::string RunOnTerminal(const std::vector<std::string> &arguments)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return "no terminal";
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    termios mode{};
    tcgetattr(slave, &mode);
    cfmakeraw(&mode);
    tcsetattr(slave, TCSANOW, &mode);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(slave, 1);
        dup2(null, 2);
        std::vector<char *> argv{const_cast<char *>(LOOKUP_TOOL)};
        for (const auto &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        execv(LOOKUP_TOOL, argv.data());
        _exit(127);
    }
    close(slave);
    std::string text;
    char buffer[4096];
    // Once the tool has closed the terminal, reading it fails (EIO).
    for (pollfd wanted{master, POLLIN, 0}; poll(&wanted, 1, 10000) > 0;) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(master);
    return text;
}

} // namespace

TEST(LookupToolTest, ControlCharactersReachATerminalOnlyAsVisibleEscapes)
{
    TestFolder folder;
    WriteDictionary(folder,
        {"odd", "1A", "EXP", "Odd", {{"A", "x\x1B[2J y"}, {"B\x1B[31m", "red\xC2\x9B"}}, "UTF-8"});
    const std::string dics = folder.Path() + "dics";
    const std::tuple<const char *, std::vector<std::string>, std::string> rows[] = {
        {"lookup", {"--article", dics, "a", "b"},
            "1\t1a\t0\t-1\tA\tx\\e[2J y\n1\t1a\t1\t1\tB\\e[31m\tred\\x9b\n"},
        {"search in the articles", {"--text", "red", dics}, "1a\t1\tB\\e[31m\tred\\x9b\n"},
    };
    for (const auto &[name, arguments, shown] : rows) {
        EXPECT_EQ(RunOnTerminal(arguments), shown) << name;
        // Through a pipe every byte but the field and line separators passes as it is.
        const Result piped = RunTool(arguments);
        std::string raw = shown;
        for (const auto &[escape, byte] :
            {std::pair<std::string, std::string>{"\\e", "\x1B"}, {"\\x9b", "\xC2\x9B"}})
            for (std::size_t at; (at = raw.find(escape)) != std::string::npos;)
                raw.replace(at, escape.size(), byte);
        std::string joined;
        for (const std::string &line : piped.lines)
            joined += line + "\n";
        EXPECT_EQ(joined, raw) << name;
    }
}

TEST(LookupToolTest, AnswersEachQueryOnOneLine)
{
    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"exact, typed in small letters", "домовой", Answer("1", "tolk", TOLK, "-1", "ДОМОВОЙ")},
        {"headword with a blank", "дом отдыха", Answer("1", "tolk", TOLK, "-1", "ДОМ ОТДЫХА")},
        {"longest shared beginning", "домотканый", Answer("1", "tolk", TOLK, "4", "ДОМОВОЙ")},
        {"query a proper prefix", "чёрн", Answer("1", "enc", ENC, "4", "Чёрное море")},
        {"small yo reaches its own block", "ёж", Answer("1", "tolk", TOLK, "-1", "ёж")},
        {"capital yo", "ЁЖ", Answer("1", "tolk", TOLK, "-1", "ЁЖ")},
        {"latin with CR LF line end", "wi-fi\r", Answer("1", "misc", MISC, "-1", "Wi-Fi")},
        {"digits", "404", Answer("1", "misc", MISC, "-1", "404")},
        {"no block for the first letter", "qwerty", Answer("0", "", "0", "0", "")},
        {"empty line", "", Answer("0", "", "0", "0", "")},
    };
    std::string queries;
    for (const auto &row : rows)
        queries += std::get<1>(row) + "\n";
    const Result result = RunTool({"--order", "tolk;enc;misc;", DICS}, queries);
    // Some queries were not found exactly.
    EXPECT_EQ(result.status, 1) << result.errors;
    ASSERT_EQ(result.lines.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(result.lines[i], std::get<2>(rows[i])) << std::get<0>(rows[i]);
}

TEST(LookupToolTest, ListsDictionariesInCollectionOrderBeforeAnswers)
{
    const Result result = RunTool({"--list", "--order", "misc;tolk;enc;", DICS}, "дом\n");
    ASSERT_EQ(result.lines.size(), 4u) << result.errors;
    const std::vector<std::vector<std::string>> expected = {
        {MISC, "misc", "TERM", "Термины", std::to_string(Headwords("misc").size()),
            "Словарь компьютерных терминов", "Составлен для Kalvora"},
        {TOLK, "tolk", "EXP", "Толковый", std::to_string(Headwords("tolk").size()),
            "Толковый словарь русского языка", "Учебная подборка толкований Kalvora"},
        {ENC, "enc", "ENC", "Энциклопедия", std::to_string(Headwords("enc").size()),
            "Малая энциклопедия", "Статьи написаны для Kalvora"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Fields(result.lines[i]), expected[i]) << "dictionary " << i;
    EXPECT_EQ(result.lines[3], Answer("1", "tolk", TOLK, "-1", "ДОМ"));
}

TEST(LookupToolTest, OrderDecidesWhichDictionaryWinsASharedHeadword)
{
    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"definitions first", "tolk;enc;", Answer("1", "tolk", TOLK, "-1", "ДОМ")},
        {"encyclopedia first", "enc;tolk;", Answer("1", "enc", ENC, "-1", "Дом")},
        {"exact match beats an earlier partial one", "misc;tolk;",
            Answer("1", "tolk", TOLK, "-1", "ДОМ")},
    };
    for (const auto &[name, order, answer] : rows) {
        const Result result = RunTool({"--order", order, DICS}, "дом\n");
        ASSERT_EQ(result.lines.size(), 1u) << name << result.errors;
        EXPECT_EQ(result.lines[0], answer) << name;
    }
}

TEST(LookupToolTest, DicSearchesOneDictionaryOnly)
{
    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"the encyclopedia", "3E0C0002", Answer("1", "enc", ENC, "-1", "Дом")},
        {"terms have only a shared first letter", "f01d0c05",
            Answer("1", "misc", MISC, "1", "Дисплей")},
    };
    for (const auto &[name, id, answer] : rows) {
        const Result result = RunTool({"--order", "tolk;", "--dic", id, DICS}, "дом\n");
        ASSERT_EQ(result.lines.size(), 1u) << name << result.errors;
        EXPECT_EQ(result.lines[0], answer) << name;
    }
}

TEST(LookupToolTest, PrintsArticlesInUtf8)
{
    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"yo words share one article", "ёж",
            "м. Небольшое насекомоядное животное, покрытое иглами. Ёж сворачивается в клубок, "
            "защищаясь от врагов."},
        {"CR of a CR LF data file dropped", "байт",
            "Единица количества информации, равная восьми битам."},
        {"last article without LF", "ярославль",
            "Один из старейших городов России, на Волге; основан в начале XI века."},
        {"read after the end of the data file", "байкал",
            "Озеро на юге Восточной Сибири, самое глубокое на Земле (более 1600 м). В нём около "
            "пятой части мировых запасов пресной озёрной воды."},
        {"not found has an empty article", "qq", ""},
    };
    std::string queries;
    for (const auto &row : rows)
        queries += std::get<1>(row) + "\n";
    const Result result = RunTool({"--article", DICS}, queries);
    ASSERT_EQ(result.lines.size(), std::size(rows)) << result.errors;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto fields = Fields(result.lines[i]);
        ASSERT_EQ(fields.size(), 6u) << std::get<0>(rows[i]);
        EXPECT_EQ(fields[5], std::get<2>(rows[i])) << std::get<0>(rows[i]);
    }
}

TEST(LookupToolTest, KeepsOneLinePerAnswerWhateverTheTextHolds)
{
    TestFolder folder;
    WriteDictionary(folder,
        {"odd", "1A", "EXP", "Odd",
            {{"A", "one\ttwo\rthree"}, {"X\nY", "\xC4\xE0\t\xED\xE5\xF2"}}});
    const Result result = RunTool({"--article", folder.Path() + "dics"}, "a\nx\n");
    ASSERT_EQ(result.lines.size(), 2u) << result.errors;
    EXPECT_EQ(result.lines[0], "1\t1a\t0\t-1\tA\tone two three");
    EXPECT_EQ(result.lines[1], "1\t1a\t1\t1\tX Y\tДа нет");
}

TEST(LookupToolTest, WritesLineBreaksAsSpacesUnlessAskedToKeepThem)
{
    TestFolder folder;
    FixtureDictionary lines{"lines", "1A", "EXP", "L", {{"A", "one\xE2\x80\xA8two"}}, "UTF-8"};
    lines.markup = "plain";
    WriteDictionary(folder, lines);
    FixtureDictionary tags{
        "tags", "2B", "EXP", "T", {{"A", "<b>one</b><br>two &amp;<p a='x'>&#x33;</p>"}}, "UTF-8"};
    tags.markup = "html";
    WriteDictionary(folder, tags);
    const std::string json = R"({"query":"a","found":true,"exact":true,"id":"1a","short_name":)"
                             R"("L","index":0,"matched_length":-1,"headword":"A","article":)";
    const std::tuple<const char *, std::vector<std::string>, std::string> rows[] = {
        {"spaces by default", {"--article"}, "1\t1a\t0\t-1\tA\tone two"},
        {"kept as stored", {"--article", "--lines"}, "1\t1a\t0\t-1\tA\tone\xE2\x80\xA8two"},
        {"every dictionary", {"--all"}, "1\t1a\t0\t-1\tA\tone two\tL"},
        {"json spaces", {"--json", "--article"}, json + R"("one two"})"},
        {"json line feeds", {"--json", "--article", "--lines"}, json + R"("one\ntwo"})"},
        {"tags as the text they show", {"--article", "--dic", "2b"},
            "1\t2b\t0\t-1\tA\tone two & 3"},
        {"tags, lines kept", {"--article", "--lines", "--dic", "2b"},
            "1\t2b\t0\t-1\tA\tone\xE2\x80\xA8two &\xE2\x80\xA8"
            "3"},
    };
    for (const auto &[name, options, line] : rows) {
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {folder.Path() + "dics", "a"});
        const Result result = RunTool(arguments);
        ASSERT_FALSE(result.lines.empty()) << name << result.errors;
        EXPECT_EQ(result.lines[0], line) << name;
    }
}

// UTF-16LE bytes of UTF-8 text, characters beyond U+FFFF as surrogate pairs.
std::string Utf16leOfUtf8(const std::string &utf8)
{
    std::string bytes;
    const auto Unit = [&bytes](char32_t unit) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    };
    const char *const end = utf8.data() + utf8.size();
    for (const char *at = utf8.data(); at < end;) {
        const char32_t c = Utf8Text::Read(at, end);
        if (c > 0xFFFF) {
            Unit(0xD800 + ((c - 0x10000) >> 10));
            Unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            Unit(c);
        }
    }
    return bytes;
}

TEST(LookupToolTest, UnicodeInAndOutForBothKindsOfDictionary)
{
    TestFolder folder;
    WriteDictionary(
        folder, {"a", "A1", "EXP", "A", {{"\xC4\xCE\xCC", "\xE7\xE4\xE0\xED\xE8\xE5"}}});
    WriteDictionary(
        folder, {"b", "B2", "ENC", "B", {{"\xC3\x89T\xC3\x89", "summer \xE2\x98\x80"}}, "UTF-8"});
    folder.WriteFile("dics/b/b.inf",
        Utf16leOfUtf8("ENCODING=UTF-8\r\nDIC_ID=B2\r\nCATEGORY=ENC\r\nSHORT_NAME=\xCE\xA9mega\r\n"
                      "LONG_NAME=Caf\xC3\xA9 \xF0\x9F\x98\x80\r\nSOURCE=\xC5\xA0kola\r\n"));
    const Result result =
        RunTool({"--list", "--article", folder.Path() + "dics"}, "дом\nété\nдомé\n");
    ASSERT_EQ(result.lines.size(), 5u) << result.errors;
    EXPECT_EQ(result.lines[1], "b2\tb\tENC\tΩmega\t1\tCafé 😀\tŠkola");
    EXPECT_EQ(result.lines[2], "1\ta1\t0\t-1\tДОМ\tздание");
    EXPECT_EQ(result.lines[3], "1\tb2\t0\t-1\tÉTÉ\tsummer ☀");
    // The Windows-1251 dictionary answers as far as it can hold the query.
    EXPECT_EQ(result.lines[4], "1\ta1\t0\t3\tДОМ\tздание");
}

TEST(LookupToolTest, WritesALogOnlyWhenAsked)
{
    TestFolder folder;
    RunTool({DICS}, "дом\n", folder.Path());
    EXPECT_FALSE(folder.Exists("file.log"));
    EXPECT_FALSE(folder.Exists("data"));

    RunTool({"--log", folder.Path() + "tool.log", DICS}, "дом\n", folder.Path());
    const std::string log = folder.ReadFile("tool.log");
    EXPECT_NE(log.find("[Database::Load]"), std::string::npos) << log;
    EXPECT_NE(log.find("Dictionary loaded, ID=0x" + MISC), std::string::npos) << log;
}

TEST(LookupToolTest, RefusesBadArgumentsAndEmptyFolders)
{
    TestFolder empty;
    TestFolder broken;
    broken.WriteFile("half/half.dat", "text\n");
    const std::tuple<const char *, std::vector<std::string>, int, std::string> rows[] = {
        {"unknown option", {"--bogus", DICS}, 2, "unknown option --bogus"},
        {"no folder", {"--list"}, 2, "no dictionary folder"},
        {"option without its value", {DICS, "--order"}, 2, "--order needs a value"},
        {"missing folder", {empty.Path() + "absent"}, 2, "cannot read"},
        {"a file, not a folder", {DICS + "/tolk/tolk.idx"}, 2, "cannot read"},
        {"id not hexadecimal", {"--dic", "xyz", DICS}, 2, "hexadecimal"},
        {"id zero", {"--dic", "0", DICS}, 2, "non-zero"},
        {"id too long", {"--dic", "1F01D0C05", DICS}, 2, "hexadecimal"},
        {"id of no dictionary", {"--dic", "12345", DICS}, 2, "no dictionary has the id 12345"},
        {"empty phrase", {"--text", "", DICS}, 2, "--text needs a phrase"},
        {"unreadable second folder", {DICS, "--folder", empty.Path() + "absent"}, 2,
            "cannot read the folder " + empty.Path() + "absent"},
        {"empty folder", {empty.Path()}, 2, NO_DICTIONARY},
        {"only an incomplete dictionary", {broken.Path()}, 2,
            "no dictionary loaded from " + broken.Path()
                + ": a dictionary is a folder of its own inside it"},
        {"a dictionary's own folder", {DICS + "/tolk"}, 2,
            DICS + "/tolk is itself a dictionary folder: give the folder that holds it"},
    };
    for (const auto &[name, arguments, status, message] : rows) {
        const Result result = RunTool(arguments, "дом\n");
        EXPECT_EQ(result.status, status) << name;
        EXPECT_TRUE(result.lines.empty()) << name;
        EXPECT_NE(result.errors.find(message), std::string::npos) << name << ": " << result.errors;
    }
}

TEST(LookupToolTest, AnswersEachQueryBeforeTheNextIsWritten)
{
    Tool tool({"--order", "tolk;enc;misc;", DICS});
    const std::tuple<std::string, std::string> rows[] = {
        {"дом", Answer("1", "tolk", TOLK, "-1", "ДОМ")},
        {"луна", Answer("1", "tolk", TOLK, "-1", "ЛУНА")},
        {"usb", Answer("1", "misc", MISC, "-1", "USB")},
    };
    for (const auto &[query, answer] : rows) {
        tool.Write(query + "\n");
        std::string line;
        ASSERT_TRUE(tool.ReadLine(line)) << "no answer to " << query << " while input is open";
        EXPECT_EQ(line, answer);
    }
    tool.Finish();
    EXPECT_EQ(tool.status, 0);
    EXPECT_EQ(tool.outText, "");
}

TEST(LookupToolTest, AnswersWordsGivenAsArgumentsWithAStatusThatSaysIfAllWereFound)
{
    const std::tuple<const char *, std::vector<std::string>, int, std::vector<std::string>> rows[] =
        {
            {"every word exact", {"дом", "ЛуНа"}, 0,
                {Answer("1", "tolk", TOLK, "-1", "ДОМ"), Answer("1", "tolk", TOLK, "-1", "ЛУНА")}},
            {"one only a longest-prefix match", {"дом", "домотканый"}, 1,
                {Answer("1", "tolk", TOLK, "-1", "ДОМ"),
                    Answer("1", "tolk", TOLK, "4", "ДОМОВОЙ")}},
            {"one not found", {"qwerty", "луна"}, 1,
                {Answer("0", "", "0", "0", ""), Answer("1", "tolk", TOLK, "-1", "ЛУНА")}},
            {"a proper prefix is not found exactly", {"чёрн"}, 1,
                {Answer("1", "enc", ENC, "4", "Чёрное море")}},
            {"a word that starts with a dash", {"--", "-1"}, 1, {Answer("0", "", "0", "0", "")}},
        };
    for (const auto &[name, words, status, answers] : rows) {
        std::vector<std::string> arguments{"--order", "tolk;enc;misc;", DICS};
        arguments.insert(arguments.end(), words.begin(), words.end());
        // Standard input is not read when words are given.
        const Result result = RunTool(arguments, "usb\n");
        EXPECT_EQ(result.status, status) << name << result.errors;
        EXPECT_EQ(result.lines, answers) << name;
    }
}

TEST(LookupToolTest, LoadsFurtherFoldersAfterTheFirst)
{
    TestFolder folder;
    WriteDictionary(folder, {"own", "1A", "EXP", "Own", {{"\xC4\xCE\xCC", "own house"}}}, "mine");
    WriteDictionary(folder, {"zoo", "2B", "EXP", "Zoo", {{"ZYZZYVA", "beetle"}}}, "more");
    const Result result = RunTool({"--list", DICS, "--folder", folder.Path() + "mine", "--folder",
        folder.Path() + "more", "--order", "tolk;enc;misc;", "--article", "zyzzyva", "дом"});
    EXPECT_EQ(result.status, 0) << result.errors;
    ASSERT_EQ(result.lines.size(), 7u) << result.errors;
    EXPECT_EQ(Fields(result.lines[3])[0], "1a");
    EXPECT_EQ(Fields(result.lines[4])[0], "2b");
    EXPECT_EQ(result.lines[5], "1\t2b\t0\t-1\tZYZZYVA\tbeetle");
    EXPECT_EQ(Fields(result.lines[6])[1], TOLK) << "the first folder's dictionaries come first";
}

TEST(LookupToolTest, AllGivesEveryDictionarysExactMatchInSearchOrder)
{
    const std::string tolkHouse = Answer("1", "tolk", TOLK, "-1", "ДОМ");
    const std::string encHouse = Answer("1", "enc", ENC, "-1", "Дом");
    const Result result =
        RunTool({"--all", "--order", "enc;misc;tolk;", DICS, "дом", "домотканый", "qwerty"});
    EXPECT_EQ(result.status, 1) << result.errors;
    ASSERT_EQ(result.lines.size(), 7u) << result.errors;
    const std::vector<std::pair<std::string, std::string>> expected = {
        {encHouse, "Энциклопедия"},
        {tolkHouse, "Толковый"},
        {"", ""},
        {Answer("1", "tolk", TOLK, "4", "ДОМОВОЙ"), "Толковый"},
        {"", ""},
        {Answer("0", "", "0", "0", ""), ""},
        {"", ""},
    };
    std::size_t line = 0;
    for (const auto &[answer, shortName] : expected) {
        const auto fields = Fields(result.lines[line++]);
        if (answer.empty()) {
            EXPECT_EQ(fields, std::vector<std::string>{""}) << "line " << line;
            continue;
        }
        ASSERT_EQ(fields.size(), 7u) << "line " << line;
        const auto head = Fields(answer);
        EXPECT_EQ(std::vector<std::string>(fields.begin(), fields.begin() + 5), head)
            << "line " << line;
        EXPECT_EQ(fields[6], shortName) << "line " << line;
        EXPECT_EQ(fields[5].empty(), answer[0] == '0') << "the article, line " << line;
    }
}

TEST(LookupToolTest, JsonNamesEveryFieldAndEscapesEveryText)
{
    TestFolder folder;
    WriteDictionary(folder,
        {"odd", "1A", "EXP", "Od\"d",
            {{"A", "tab\there \"quoted\" back\\slash \x01\x7F"}, {"B\\C", "\xC4\xE0"}}});
    const std::tuple<const char *, std::vector<std::string>, std::vector<std::string>> rows[] = {
        {"exact with its article", {"--article", "a"},
            {R"({"query":"a","found":true,"exact":true,"id":"1a","short_name":"Od\"d","index":0,)"
             R"("matched_length":-1,"headword":"A",)"
             R"("article":"tab\there \"quoted\" back\\slash \u0001\u007f"})"}},
        {"longest prefix", {"b\\cd"},
            {R"({"query":"b\\cd","found":true,"exact":false,"id":"1a","short_name":"Od\"d",)"
             R"("index":1,"matched_length":3,"headword":"B\\C"})"}},
        {"not found", {"--article", "zz"},
            {R"({"query":"zz","found":false,"exact":false,"id":null,"short_name":null,)"
             R"("index":null,"matched_length":0,"headword":null,"article":null})"}},
        {"every dictionary", {"--all", "b\\c"},
            {R"({"query":"b\\c","found":true,"exact":true,"id":"1a","short_name":"Od\"d",)"
             R"("index":1,"matched_length":-1,"headword":"B\\C","article":"Да"})"}},
    };
    for (const auto &[name, options, lines] : rows) {
        std::vector<std::string> arguments{"--json", folder.Path() + "dics"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const Result result = RunTool(arguments);
        EXPECT_EQ(result.lines, lines) << name << result.errors;
    }
    const Result list = RunTool({"--json", "--list", folder.Path() + "dics"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.lines,
        std::vector<std::string>{
            R"({"id":"1a","folder":"odd","category":"EXP","short_name":"Od\"d","words":2,)"
            R"("long_name":"Od\"d long","source":"odd source"})"});
}

TEST(LookupToolTest, HelpAndVersionPrintToStandardOutput)
{
    const std::tuple<const char *, std::vector<std::string>, std::string> rows[] = {
        {"help", {"--help"}, "usage: kalvora-lookup [OPTION...] DICS [WORD...]"},
        {"help beside other options", {"--all", DICS, "--help"}, "  --folder FOLDER"},
        {"version", {"--version"}, "kalvora-lookup " KALVORA_VERSION},
    };
    for (const auto &[name, arguments, text] : rows) {
        const Result result = RunTool(arguments, "дом\n");
        EXPECT_EQ(result.status, 0) << name;
        EXPECT_EQ(result.errors, "") << name;
        std::string out;
        for (const std::string &line : result.lines)
            out += line + "\n";
        EXPECT_NE(out.find(text), std::string::npos) << name << ": " << out;
    }
}

TEST(LookupToolTest, TextPrintsEachRecordWhoseArticleHoldsThePhrase)
{
    TestFolder folder;
    // Дом, дом, ДОМ: the phrase in three spellings.
    WriteDictionary(folder,
        {"first", "A1", "EXP", "First",
            {{"one", "\xC4\xEE\xEC at\tthe start"}, {"two", "nothing"},
                {"three", "at the end \xE4\xEE\xEC"}}});
    WriteDictionary(folder, {"second", "B2", "EXP", "Second", {{"four", "\xC4\xCE\xCC"}}});
    WriteDictionary(folder, {"third", "C3", "EXP", "Third", {{"five", "\xE4\xEE\xEC\t"}}}, "more");
    // Cat and Kitty share one article, Moggy and Puss another, stored before it.
    WriteDictionary(folder, {"shared", "D4", "EXP", "Shared", {}}, "together");
    folder.WriteFile("together/shared/shared.dat", "its \xE4\xEE\xEC\na pet \xE4\xEE\xEC\n");
    folder.WriteFile("together/shared/shared.idx", "Cat\t8\nKitty\t8\nMoggy\t0\nPuss\t0\n");
    const std::string dics = folder.Path() + "dics";
    // An installed dictd dictionary: its headword spelled as its article's first line spells it,
    // that line left out of the article.
    const std::string article = "Unix\n   runs \xD0\xB4\xD0\xBE\xD0\xBC\n";
    folder.WriteFile("src/z.index", "unix\tA\tU\n"); // at 0, 20 bytes long
    folder.WriteFile("src/z.dict", article);
    const std::string source = folder.Path() + "src/z.index";
    // What the tool keeps of an installed dictionary goes into the test's folder.
    const char *cache = std::getenv("XDG_CACHE_HOME");
    const std::string keptCache = cache ? cache : "";
    setenv("XDG_CACHE_HOME", (folder.Path() + "cache").c_str(), 1);
    char installed[16];
    std::snprintf(installed, sizeof installed, "%x", InstalledDictionaryId(source, 0));
    const std::tuple<const char *, std::vector<std::string>, int, std::vector<std::string>> rows[] =
        {
            {"an installed dictionary", {"--source", source}, 0,
                {std::string(installed) + "\t0\tUnix\truns дом"}},
            {"installed, counted", {"--count", "--source", source, "--dic", installed}, 0,
                {std::string(installed) + "\t1"}},
            {"every dictionary, in the order given", {"--order", "second;first;", dics}, 0,
                {"b2\t0\tfour\tДОМ", "a1\t0\tone\tДом at the start",
                    "a1\t2\tthree\tat the end дом"}},
            {"one dictionary", {"--dic", "a1", dics}, 0,
                {"a1\t0\tone\tДом at the start", "a1\t2\tthree\tat the end дом"}},
            {"nothing found", {"--text", "дым", dics}, 1, {}},
            {"json", {"--json", "--dic", "b2", dics}, 0,
                {R"({"id":"b2","index":0,"headword":"four","excerpt":"ДОМ"})"}},
            {"another folder after", {"--folder", folder.Path() + "more", dics}, 0,
                {"a1\t0\tone\tДом at the start", "a1\t2\tthree\tat the end дом", "b2\t0\tfour\tДОМ",
                    "c3\t0\tfive\tдом "}},
            {"an article several headwords share", {folder.Path() + "together"}, 0,
                {"d4\t0\tCat, Kitty\ta pet дом", "d4\t2\tMoggy, Puss\tits дом"}},
            {"shared, in json", {"--json", folder.Path() + "together"}, 0,
                {R"({"id":"d4","index":0,"headword":"Cat, Kitty","excerpt":"a pet дом"})",
                    R"({"id":"d4","index":2,"headword":"Moggy, Puss","excerpt":"its дом"})"}},
            {"counted", {"--count", "--folder", folder.Path() + "together", dics}, 0,
                {"a1\t2", "b2\t1", "d4\t2"}},
            {"counted in json", {"--count", "--json", "--dic", "d4", folder.Path() + "together"}, 0,
                {R"({"id":"d4","count":2})"}},
            {"counted, nothing found", {"--text", "дым", "--count", dics}, 1, {"a1\t0", "b2\t0"}},
        };
    for (const auto &[name, arguments, status, lines] : rows) {
        std::vector<std::string> all = arguments;
        if (all.front() != "--text")
            all.insert(all.begin(), {"--text", "дОм"});
        const Result result = RunTool(all);
        EXPECT_EQ(result.status, status) << name << result.errors;
        EXPECT_EQ(result.lines, lines) << name;
    }
    if (cache)
        setenv("XDG_CACHE_HOME", keptCache.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
}

// A data file cut or copied over while the tool scans it, and an index file cut while it loads,
// each at several moments: the process never dies of it, a dictionary whose data file changed
// under the scan is named, what is printed of it is right, and the other dictionary still gives
// its match. The phrase, a run of one letter, makes the scan slow enough to be caught in it.
TEST(LookupToolTest, AFileChangedUnderTheReaderIsReportedAndTheOthersGoOn)
{
    enum class Change
    {
        CutData,
        CopyOverData,
        CopyOverSameSize,
        CutIndex
    };
    // name, change, milliseconds after the start
    const std::tuple<const char *, Change, int> rows[] = {
        {"data cut early", Change::CutData, 100},
        {"data cut midway", Change::CutData, 250},
        {"data cut late", Change::CutData, 500},
        {"data copied over early", Change::CopyOverData, 150},
        {"data copied over late", Change::CopyOverData, 350},
        {"data copied over by as much", Change::CopyOverSameSize, 250},
        {"index cut at once", Change::CutIndex, 0},
        {"index cut soon", Change::CutIndex, 15},
        {"index cut later", Change::CutIndex, 50},
    };
    // 32 MB of articles in a million records; every thousandth holds the phrase.
    const std::string phrase(31, 'a');
    std::string index;
    std::string data;
    for (int i = 0; i < 1000000; ++i) {
        index += "w" + std::to_string(i) + "\t" + std::to_string(data.size()) + "\n";
        data += std::string(i % 1000 == 7 ? 40 : 30, 'a') + "\n";
    }
    for (const auto &[name, change, delay] : rows) {
        TestFolder folder;
        WriteDictionary(folder, {"a", "A1", "EXP", "A", {}});
        folder.WriteFile("dics/a/a.idx", index);
        folder.WriteFile("dics/a/a.dat", data);
        WriteDictionary(folder, {"b", "B2", "EXP", "B", {{"one", "b" + phrase}}});
        Tool tool({"--text", phrase, folder.Path() + "dics"});
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        const std::string file =
            folder.Path() + (change == Change::CutIndex ? "dics/a/a.idx" : "dics/a/a.dat");
        if (change == Change::CopyOverData || change == Change::CopyOverSameSize) {
            // As cp does it: the same file emptied, then written anew.
            std::ofstream over(file, std::ios::binary | std::ios::trunc);
            over << std::string(
                change == Change::CopyOverData ? data.size() / 2 : data.size(), 'b');
        } else {
            ASSERT_EQ(truncate(file.c_str(), change == Change::CutIndex ? 1000 : 4096), 0);
        }
        tool.Finish(60000);
        EXPECT_EQ(tool.status, 0) << name << ": " << tool.errText;
        EXPECT_NE(tool.outText.find("b2\t0\tone\t"), std::string::npos) << name;
        std::istringstream lines(tool.outText);
        std::size_t printed = 0;
        for (std::string line; std::getline(lines, line);)
            if (line.compare(0, 3, "a1\t") == 0) {
                ++printed;
                EXPECT_EQ(std::stoi(Fields(line)[1]) % 1000, 7) << name << ": " << line;
            }
        // Unless it is named, the file was read whole before the change, or after it: cut to
        // one match, written over with none.
        if (tool.errText.find("dictionary a1 (a) changed") != std::string::npos)
            EXPECT_EQ(printed, 0U) << name;
        else
            EXPECT_TRUE(printed == 0 || printed == 1 || printed == 1000) << name << ": " << printed;
    }
}

TEST(LookupToolTest, SuggestAnswersEachWordWithWhatItMayStandFor)
{
    TestFolder folder;
    folder.WriteFile("hunspell/en_US.aff", "SET UTF-8\nSFX S Y 1\nSFX S 0 s .\n");
    folder.WriteFile("hunspell/en_US.dic", "1\njump/S\n");
    WriteDictionary(folder,
        {"first", "A1", "EXP", "First",
            {{"jump", "a"}, {"receive", "a"}, {"relieve", "a"}, {"Who?", "a"}}});
    WriteDictionary(folder, {"second", "B2", "EXP", "Second", {{"whom", "a"}, {"jump", "a"}}});
    setenv("KALVORA_HUNSPELL_PATH", (folder.Path() + "hunspell").c_str(), 1);
    setenv("KALVORA_WORDNET_PATH", (folder.Path() + "none").c_str(), 1);
    const std::string dics = folder.Path() + "dics";
    const std::tuple<const char *, std::vector<std::string>, std::string, int,
        std::vector<std::string>>
        rows[] = {
            {"words as arguments, one without a suggestion",
                {"--suggest", dics, "jump", "jumps", "recieve", "qwzx"}, "", 1,
                {"jump\tjump", "jumps\tjump", "recieve\treceive\trelieve", "qwzx"}},
            {"a pattern and a headword holding ?", {"--suggest", dics, "who?"}, "", 0,
                {"who?\tWho?\twhom"}},
            {"standard input", {"--suggest", dics}, "jumps\r\nwho\\?\n", 0,
                {"jumps\tjump", "who\\?\tWho?"}},
            {"json", {"--suggest", "--json", dics, "jumps", "x"}, "", 1,
                {R"({"query":"jumps","suggestions":[{"headword":"jump","id":"a1","index":0,"kind":"form"}]})",
                    R"({"query":"x","suggestions":[]})"}},
        };
    for (const auto &[name, arguments, input, status, lines] : rows) {
        const Result result = RunTool(arguments, input);
        EXPECT_EQ(result.status, status) << name << result.errors;
        EXPECT_EQ(result.lines, lines) << name;
    }
    unsetenv("KALVORA_HUNSPELL_PATH");
    unsetenv("KALVORA_WORDNET_PATH");
}
