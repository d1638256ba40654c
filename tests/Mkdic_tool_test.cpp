#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "storage/Database.h"
#include "support/Code_page.h"
#include "support/Utils.h"

extern char **environ;

namespace {

const char JARGON_INDEX[] = "/usr/share/dictd/jargon.index";

struct ToolRun
{
    int status;
    std::string out;
    std::string errors;
};

// The environment of the tool: the user's data folder is the test folder's "home/data", so the
// dictionaries of whoever runs the tests count for nothing.
std::vector<std::string> Environment(const TestFolder &folder)
{
    std::vector<std::string> variables;
    for (char **variable = environ; *variable; ++variable) {
        const std::string text = *variable;
        if (text.compare(0, 5, "HOME=") != 0 && text.compare(0, 14, "XDG_DATA_HOME=") != 0)
            variables.push_back(text);
    }
    variables.push_back("HOME=" + folder.Path() + "home");
    variables.push_back("XDG_DATA_HOME=" + folder.Path() + "home/data");
    return variables;
}

// The tool as a child process, its output going to files of the test's folder; -1 when it
// could not be started.
pid_t StartTool(const TestFolder &folder, std::vector<std::string> arguments)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = folder.Path() + "tool.out";
    const std::string err = folder.Path() + "tool.err";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char *> argv{const_cast<char *>(MKDIC_TOOL)};
    for (auto &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = Environment(folder);
    std::vector<char *> envp;
    for (auto &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    const bool started =
        posix_spawn(&pid, MKDIC_TOOL, &actions, nullptr, argv.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return started ? pid : -1;
}

// Waits for the tool; a tool ended by a signal has the status 128 + its number, as a shell says.
ToolRun FinishTool(const TestFolder &folder, pid_t pid)
{
    int raw = 0;
    if (pid < 0 || waitpid(pid, &raw, 0) != pid)
        return {-1, "", "could not run the tool"};
    const ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw),
        folder.ReadFile("tool.out"), folder.ReadFile("tool.err")};
    std::remove((folder.Path() + "tool.out").c_str());
    std::remove((folder.Path() + "tool.err").c_str());
    return run;
}

ToolRun RunTool(const TestFolder &folder, std::vector<std::string> arguments)
{
    return FinishTool(folder, StartTool(folder, std::move(arguments)));
}

// Most tests check what writing Windows-1251 does (skipped headwords, '?', limits in bytes), so
// they ask for it rather than let the maker choose.
std::vector<std::string> Labels(const std::string &id = "1A")
{
    return {"--id", id, "--category", "EXP", "--short-name", "Проба", "--dictionary-encoding",
        "cp1251"};
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using Files = std::vector<std::pair<std::string, std::string>>;

// Writes files into in/ of a folder holding an empty dics/, then makes dics/output from input.
ToolRun RunOnSources(const TestFolder &folder, const Files &files, const std::string &input,
    const std::vector<std::string> &options, const std::string &output)
{
    folder.MakeFolder("dics");
    for (const auto &[path, bytes] : files)
        folder.WriteFile("in/" + path, bytes);
    return RunTool(folder,
        Join(Join(Labels(), options),
            {folder.Path() + "in/" + input, folder.Path() + "dics/" + output}));
}

// The number a report line gives, or -1 when the line is missing.
long Count(const std::string &report, const std::string &label)
{
    const std::size_t at = report.find("\n" + label + ": ");
    return at == std::string::npos ? -1 : std::stol(report.substr(at + label.size() + 3));
}

std::string Gzip(const std::string &bytes)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, bytes.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string BigEndian(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
    return out;
}

// What the program itself reads from the folder the tool wrote: lookups by query and the index in
// its stored order.
class Loaded
{
public:
    explicit Loaded(const std::string &dics)
        : database("", nullptr, dics)
    {
        database.Load();
    }

    int Count() const { return database.GetCount(); }
    Dictionary &Only() const { return *database.GetDictionary(0); }

    // "headword | article" in UTF-8 for an exact match, else what was found instead.
    std::string Lookup(const std::string &utf8Query) const
    {
        WordPosition position;
        std::int32_t matched = 0;
        if (!database.Find(0, utf8Query, position, &matched))
            return "not found";
        const std::string text = database.GetWord(position) + " | " + database.GetArticle(position);
        return matched == -1 ? text : "partly: " + text;
    }

    // Every headword begins a block a query can reach, blocks are contiguous and keys sorted.
    std::string IndexProblem() const
    {
        Dictionary &dictionary = Only();
        std::string previous;
        for (std::uint32_t i = 0; i < dictionary.GetWordCount(); ++i) {
            const std::string word = Utf8ToAnsi(dictionary.GetWord(static_cast<std::int32_t>(i)));
            const auto first = static_cast<unsigned char>(word[0]);
            if (ToUpperByte(first) != first && first != 0xB8)
                return "unreachable first letter: " + AnsiToUtf8(word);
            if (ToUpper(word) < previous)
                return "out of order: " + AnsiToUtf8(word);
            previous = ToUpper(word);
        }
        return "";
    }

private:
    Database database;
};

using Lookups = std::vector<std::pair<std::string, std::string>>;

void ExpectLookups(const Loaded &loaded, const Lookups &rows, const std::string &context)
{
    for (const auto &[query, answer] : rows)
        EXPECT_EQ(loaded.Lookup(query), answer) << context << ", query " << query;
}

} // namespace

TEST(MkdicToolTest, ConvertsTabSeparatedTextIntoASortedReachableDictionary)
{
    TestFolder folder;
    folder.MakeFolder("dics");
    const std::string longHeadword(200, 'x');
    const std::string longArticle(100005, 'y');
    folder.WriteFile("words.tsv",
        "\xEF\xBB\xBF"
        "яблоко\tплод\r\n"
        "кот\tзверь\n"
        "  дом  \tздание\n"
        "\n"
        "Ёлка\tдерево\n"
        "ёж\tзверь с иглами\n"
        "замок\tкрепость\n"
        "Замок\tустройство\n"
        "ЗАМОК\tкрепость\n"
        "\tбез слова\n"
        "   \tтоже без слова\n"
            + longHeadword + "\tслишком длинное слово\n" + "длинная\t" + longArticle + "\n"
            + "日本\tнет таких букв\n"
              "кафе\tcafé\tс табуляцией\n"
              "abc\tстрока\rс возвратом\n");
    const ToolRun run = RunTool(
        folder, Join(Labels(), {folder.Path() + "words.tsv", folder.Path() + "dics/words"}));
    ASSERT_EQ(run.status, 0) << run.errors;

    const std::tuple<const char *, long> counts[] = {
        {"headwords", 13},
        {"yo second spellings", 2},
        {"ye spellings of headwords with yo", 2},
        {"merged duplicate headwords", 2},
        {"skipped empty headwords", 2},
        {"skipped headwords over 199 characters", 1},
        {"skipped headwords outside Windows-1251", 1},
        {"articles cut to 99999 characters", 1},
        {"characters without a Windows-1251 counterpart (written as ?)", 1},
    };
    for (const auto &[label, count] : counts)
        EXPECT_EQ(Count(run.out, label), count) << label << "\n" << run.out;

    const Loaded loaded(folder.Path() + "dics");
    ASSERT_EQ(loaded.Count(), 1);
    EXPECT_EQ(loaded.IndexProblem(), "");
    ExpectLookups(loaded,
        {
            {"кот", "Кот | зверь"},
            {"ЯБЛОКО", "Яблоко | плод"},
            {"дом", "Дом | здание"},
            {"ёлка", "ёлка | дерево"},
            {"елка", "Елка | дерево"},
            {"ЕЖ", "Еж | зверь с иглами"},
            {"Ёлка", "Ёлка | дерево"},
            {"ЁЖ", "Ёж | зверь с иглами"},
            {"ёж", "ёж | зверь с иглами"},
            {"замок", "Замок | крепость | устройство"},
            {"кафе", "Кафе | caf?\tс табуляцией"},
            {"abc", "Abc | строка с возвратом"},
        },
        "tsv");
    EXPECT_EQ(loaded.Only().GetAttributes().shortName, "Проба");
    EXPECT_EQ(loaded.Only().GetAttributes().category, "EXP");

    std::uint32_t found = 0;
    std::int32_t matched = 0;
    ASSERT_TRUE(loaded.Only().FindWord("длинная", found, matched));
    EXPECT_EQ(loaded.Only().GetArticle(static_cast<std::int32_t>(found)), std::string(99999, 'y'));
}

TEST(MkdicToolTest, ReadsEitherEncodingAndKeepsDuplicatesWhenAsked)
{
    const std::string cp1251 =
        "\xEA\xEE\xF2\t\xE7\xE2\xE5\xF0\xFC\n\xCA\xCE\xD2\t\xEA\xEE\xF8\xEA\xE0\n";
    const Lookups catAndDog = {{"кот", "Кот | зверь"}, {"пес", "Пес | друг человека"}};
    // name, source, options, lookups, the line ends the report names
    const std::tuple<const char *, std::string, std::vector<std::string>, Lookups, std::string>
        rows[] = {
            {"Windows-1251 recognised", cp1251, {}, {{"кот", "Кот | зверь | кошка"}}, "LF"},
            {"Windows-1251 named", cp1251, {"--encoding", "cp1251"},
                {{"кот", "Кот | зверь | кошка"}}, "LF"},
            {"UTF-8 read as Windows-1251", "\xD0\xB0\tx\n", {"--encoding", "cp1251"},
                {{"Р°", "Р° | x"}}, "LF"},
            {"duplicates kept", cp1251, {"--duplicates", "keep"}, {{"кот", "Кот | зверь"}}, "LF"},
            {"CR line ends", "кот\tзверь\rпес\tдруг\r", {},
                {{"кот", "Кот | зверь"}, {"пес", "Пес | друг"}}, "CR"},
            {"CR line ends, no last one", "кот\tзверь\r\rпес\tдруг", {},
                {{"кот", "Кот | зверь"}, {"пес", "Пес | друг"}}, "CR"},
            {"CR LF line ends, a CR inside", "кот\tзверь\r\nпес\tдруг\rчеловека\r\n", {}, catAndDog,
                "CR LF"},
            {"LF and CR LF mixed", "кот\tзверь\nпес\tдруг\rчеловека\r\n", {}, catAndDog,
                "CR LF and LF"},
        };
    for (const auto &[name, text, options, lookups, lineEnds] : rows) {
        TestFolder folder;
        folder.MakeFolder("dics");
        folder.WriteFile("in.txt", text);
        const ToolRun run = RunTool(folder,
            Join(Join(Labels(), options), {folder.Path() + "in.txt", folder.Path() + "dics/d"}));
        ASSERT_EQ(run.status, 0) << name << run.errors;
        EXPECT_NE(run.out.find("\nsource line ends: " + lineEnds + "\n"), std::string::npos)
            << name << run.out;
        const Loaded loaded(folder.Path() + "dics");
        ExpectLookups(loaded, lookups, name);
        if (options.size() == 2 && options[1] == "keep") {
            EXPECT_EQ(loaded.Only().GetWordCount(), 2u) << name;
        }
    }
}

TEST(MkdicToolTest, ConvertsDictdDatabasesPlainAndCompressed)
{
    std::string dict;
    std::string index;
    const auto add = [&](const std::vector<std::string> &headwords, const std::string &text) {
        for (const std::string &headword : headwords)
            index +=
                headword + "\t" + DictdNumber(dict.size()) + "\t" + DictdNumber(text.size()) + "\n";
        dict += text;
    };
    add({"00-database-utf8"}, "\n");
    add({"00-database-short"}, "00-database-short\n     Проверочный словарь\n");
    add({"00-database-url"}, "http://example.org/dict\n");
    add({"кот", "мурлыка"}, "Кот\n  зверь,\n    мурлычет.\n\n");
    add({"собака"}, "собака\n друг\n");
    for (const bool compressed : {false, true}) {
        const std::string name = compressed ? "dict.dz" : "dict";
        TestFolder folder;
        folder.MakeFolder("dics");
        folder.WriteFile("src/test.index", index);
        folder.WriteFile("src/test." + name, compressed ? Gzip(dict) : dict);
        const ToolRun run = RunTool(folder,
            Join(Labels(), {folder.Path() + "src/test.index", folder.Path() + "dics/test"}));
        ASSERT_EQ(run.status, 0) << name << run.errors;
        EXPECT_EQ(Count(run.out, "skipped special entries"), 3) << run.out;
        EXPECT_EQ(Count(run.out, "articles"), 3) << run.out;

        const Loaded loaded(folder.Path() + "dics");
        ASSERT_EQ(loaded.Count(), 1) << name;
        ExpectLookups(loaded,
            {
                {"кот", "Кот | зверь, мурлычет."},
                {"мурлыка", "Мурлыка | Кот зверь, мурлычет."},
                {"собака", "Собака | друг"},
                {"00-database-short", "not found"},
            },
            name);
        const DictionaryAttributes &attributes = loaded.Only().GetAttributes();
        EXPECT_EQ(attributes.longName, "Проверочный словарь") << name;
        EXPECT_EQ(attributes.source, "http://example.org/dict") << name;
    }
}

TEST(MkdicToolTest, ConvertsStarDictDictionaries)
{
    const auto word = [](const std::string &headword, std::size_t offset, std::size_t size,
                          int bits) {
        return headword + '\0' + BigEndian(offset, bits / 8) + BigEndian(size, 4);
    };
    // Each article types its own fields: plain text, then markup followed by plain text.
    const std::string cat = std::string("mзверь") + '\0';
    const std::string dog =
        std::string("h<b>друг</b><br>человека &amp; дома") + '\0' + "mлает" + '\0';
    const std::string dict = cat + dog;
    const std::tuple<const char *, int, bool, std::string> rows[] = {
        {"32-bit offsets, plain files", 32, false, "2.4.2"},
        {"64-bit offsets, compressed files", 64, true, "3.0.0"},
    };
    for (const auto &[name, bits, compressed, version] : rows) {
        TestFolder folder;
        folder.MakeFolder("dics");
        const std::string idx =
            word("кот", 0, cat.size(), bits) + word("собака", cat.size(), dog.size(), bits);
        folder.WriteFile("sd/a.ifo",
            "StarDict's dict ifo file\nversion=" + version
                + "\nbookname=Звери\nwordcount=2\nsynwordcount=1\nidxfilesize="
                + std::to_string(idx.size()) + "\nidxoffsetbits=" + std::to_string(bits)
                + "\nwebsite=http://example.org\n");
        folder.WriteFile(compressed ? "sd/a.idx.gz" : "sd/a.idx", compressed ? Gzip(idx) : idx);
        folder.WriteFile(compressed ? "sd/a.dict.dz" : "sd/a.dict", compressed ? Gzip(dict) : dict);
        folder.WriteFile("sd/a.syn", std::string("котик") + '\0' + BigEndian(0, 4));
        const ToolRun run =
            RunTool(folder, Join(Labels(), {folder.Path() + "sd/a.ifo", folder.Path() + "dics/a"}));
        ASSERT_EQ(run.status, 0) << name << run.errors;

        const Loaded loaded(folder.Path() + "dics");
        ASSERT_EQ(loaded.Count(), 1) << name;
        ExpectLookups(loaded,
            {
                {"кот", "Кот | зверь"},
                {"котик", "Котик | зверь"},
                {"собака", "Собака | друг человека & дома лает"},
            },
            name);
        EXPECT_EQ(loaded.Only().GetAttributes().longName, "Звери") << name;
        EXPECT_EQ(loaded.Only().GetAttributes().source, "http://example.org") << name;
    }

    // One type for every article: the last field carries no terminator.
    TestFolder folder;
    folder.MakeFolder("dics");
    folder.WriteFile(
        "sd/b.ifo", "StarDict's dict ifo file\nversion=2.4.2\nwordcount=2\nsametypesequence=m\n");
    folder.WriteFile("sd/b.idx", word("кот", 0, 10, 32) + word("пёс", 10, 8, 32));
    folder.WriteFile("sd/b.dict", "зверьдруг");
    const ToolRun run =
        RunTool(folder, Join(Labels(), {folder.Path() + "sd/b.ifo", folder.Path() + "dics/b"}));
    ASSERT_EQ(run.status, 0) << run.errors;
    ExpectLookups(Loaded(folder.Path() + "dics"), {{"кот", "Кот | зверь"}, {"пёс", "Пёс | друг"}},
        "sametypesequence");
}

TEST(MkdicToolTest, ConvertsTheJargonFileFromItsDebianPackage)
{
    if (access(JARGON_INDEX, R_OK) != 0)
        GTEST_SKIP() << JARGON_INDEX
                     << " is absent: install the dict-jargon package (tools/install-deps)";
    TestFolder folder;
    folder.MakeFolder("dics");
    const ToolRun run = RunTool(folder,
        {"--id", "7A46", "--category", "ENC", "--short-name", "Jargon", "--dictionary-encoding",
            "cp1251", JARGON_INDEX, folder.Path() + "dics/jargon"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_GT(Count(run.out, "headwords"), 2000) << run.out;
    EXPECT_GE(Count(run.out, "skipped special entries"), 5) << run.out;

    const Loaded loaded(folder.Path() + "dics");
    ASSERT_EQ(loaded.Count(), 1);
    EXPECT_EQ(loaded.IndexProblem(), "");
    const std::tuple<const char *, const char *> rows[] = {
        {"unix", "Unix | "},
        {"/dev/null", "/dev/null | "},
        {"hacker", "Hacker | "},
        {"404 compliant", "404 compliant | "},
    };
    for (const auto &[query, start] : rows) {
        const std::string answer = loaded.Lookup(query);
        EXPECT_EQ(answer.compare(0, std::string(start).size(), start), 0) << answer.substr(0, 200);
        EXPECT_EQ(answer.find('\n'), std::string::npos) << query;
        EXPECT_GT(answer.size(), 40u) << query;
    }
    Dictionary &dictionary = loaded.Only();
    for (std::uint32_t i = 0; i < dictionary.GetWordCount(); ++i)
        EXPECT_NE(
            dictionary.GetWord(static_cast<std::int32_t>(i)).compare(0, 11, "00-database"), 0);
    EXPECT_NE(loaded.Only().GetAttributes().longName.find("Jargon File"), std::string::npos);
}

TEST(MkdicToolTest, RefusesBadInputWithoutLeavingAnythingBehind)
{
    const std::string dict = "Кот\nзверь\n";
    const std::string idx32 = std::string("кот") + '\0' + BigEndian(0, 4) + BigEndian(8, 4);
    const std::string ifo =
        "StarDict's dict ifo file\nversion=2.4.2\nwordcount=1\nsametypesequence=m\n";
    const std::tuple<const char *, Files, std::string, std::vector<std::string>, int, std::string>
        rows[] = {
            {"missing input", {}, "none.tsv", {}, 1, "no such file"},
            {"input is a folder", {{"dir.tsv/x", ""}}, "dir.tsv", {}, 1, "not a plain file"},
            {"line without TAB", {{"a.tsv", "кот\tзверь\nсобака\n"}}, "a.tsv", {}, 1,
                "a.tsv:2: no TAB"},
            {"nothing usable", {{"a.tsv", "\tx\n\n"}}, "a.tsv", {}, 1, "no usable entries"},
            {"dictd bad number", {{"d.index", "кот\tA!\tB\n"}, {"d.dict", dict}}, "d.index", {}, 1,
                "d.index:1: not a dictd index line"},
            {"dictd beyond the data", {{"d.index", "кот\tA\tZZ\n"}, {"d.dict", dict}}, "d.index",
                {}, 1, "beyond the end"},
            {"dictd without data", {{"d.index", "кот\tA\tB\n"}}, "d.index", {}, 1, "neither"},
            {"dictd data cut off",
                {{"d.index", "кот\tA\tB\n"}, {"d.dict.dz", Gzip(dict + dict + dict).substr(0, 20)}},
                "d.index", {}, 1, "d.dict.dz"},
            {"not an ifo", {{"s.ifo", "hello\n"}}, "s.ifo", {}, 1, "not a StarDict"},
            {"wordcount wrong",
                {{"s.ifo", ifo + "wordcount=2\n"}, {"s.idx", idx32}, {"s.dict", dict}}, "s.ifo", {},
                1, "says wordcount=2"},
            {"idx cut off", {{"s.ifo", ifo}, {"s.idx", idx32.substr(0, 9)}, {"s.dict", dict}},
                "s.ifo", {}, 1, "word 1 is cut off"},
            {"odd offset size", {{"s.ifo", ifo + "idxoffsetbits=16\n"}}, "s.ifo", {}, 1,
                "idxoffsetbits=16"},
            {"id zero", {{"a.tsv", "a\tb\n"}}, "a.tsv", {"--id", "0"}, 2, "non-zero"},
            {"id not hexadecimal", {{"a.tsv", "a\tb\n"}}, "a.tsv", {"--id", "xyz"}, 2,
                "hexadecimal"},
            {"unknown format", {{"a.csv", "a\tb\n"}}, "a.csv", {}, 2, "give --format"},
            {"long name too long", {{"a.tsv", "a\tb\n"}}, "a.tsv",
                {"--long-name", std::string(90, 'n')}, 2, "--long-name is too long: at most 89"},
            {"bad version", {{"a.tsv", "a\tb\n"}}, "a.tsv", {"--dic-version", "1.25"}, 2,
                "bad value"},
        };
    for (const auto &[name, files, input, options, status, message] : rows) {
        TestFolder folder;
        const ToolRun run = RunOnSources(folder, files, input, options, "out");
        EXPECT_EQ(run.status, status) << name;
        EXPECT_NE(run.errors.find(message), std::string::npos) << name << ": " << run.errors;
        EXPECT_EQ(folder.List("dics"), std::vector<std::string>()) << name;
    }
}

TEST(MkdicToolTest, ReplacesOnlyDictionaryFoldersAndOnlyWhenForced)
{
    TestFolder folder;
    folder.MakeFolder("dics");
    folder.WriteFile("new.tsv", "новый\tтекст\n");
    folder.WriteFile("old.tsv", "старый\tтекст\n");
    const std::string target = folder.Path() + "dics/d";
    ASSERT_EQ(RunTool(folder, Join(Labels(), {folder.Path() + "old.tsv", target})).status, 0);

    const ToolRun refused = RunTool(folder, Join(Labels(), {folder.Path() + "new.tsv", target}));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.errors.find("already exists (--force replaces it)"), std::string::npos)
        << refused.errors;
    EXPECT_EQ(Loaded(folder.Path() + "dics").Lookup("старый"), "Старый | текст");

    const ToolRun forced =
        RunTool(folder, Join(Labels(), {"--force", folder.Path() + "new.tsv", target}));
    EXPECT_EQ(forced.status, 0) << forced.errors;
    EXPECT_EQ(folder.List("dics"), std::vector<std::string>{"d"});
    ExpectLookups(Loaded(folder.Path() + "dics"),
        {{"новый", "Новый | текст"}, {"старый", "not found"}}, "forced");

    // A folder that holds anything else is somebody's data, not a dictionary to overwrite.
    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"another file", "other/notes.txt", "other"},
        {"a subfolder", "nested/sub/nested.inf", "nested"},
    };
    for (const auto &[name, file, output] : rows) {
        folder.WriteFile(file, "keep me");
        const ToolRun run = RunTool(
            folder, Join(Labels(), {"--force", folder.Path() + "new.tsv", folder.Path() + output}));
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.errors.find("not replaced"), std::string::npos) << name << ": " << run.errors;
        EXPECT_EQ(folder.ReadFile(file), "keep me") << name;
    }
    EXPECT_EQ(
        RunTool(folder, Join(Labels(), {folder.Path() + "new.tsv", folder.Path() + "missing/d"}))
            .status,
        1);
    EXPECT_EQ(
        RunTool(folder, Join(Labels(), {folder.Path() + "new.tsv", folder.Path() + ".hidden"}))
            .status,
        2);
}

TEST(MkdicToolTest, FollowsCommandLineConventions)
{
    const std::tuple<const char *, std::vector<std::string>, std::string> help[] = {
        {"help", {"--help"}, "usage: kalvora-mkdic --id HEXID"},
        {"help among other options", {"--id", "xyz", "--help"}, "  --report FILE"},
        {"version", {"--version"}, "kalvora-mkdic " KALVORA_VERSION "\n"},
    };
    for (const auto &[name, arguments, text] : help) {
        TestFolder folder;
        const ToolRun run = RunTool(folder, arguments);
        EXPECT_EQ(run.status, 0) << name;
        EXPECT_EQ(run.errors, "") << name;
        EXPECT_NE(run.out.find(text), std::string::npos) << name << ": " << run.out;
    }

    const std::tuple<const char *, std::string, std::string, std::uint32_t, std::string> rows[] = {
        {"small letters", "enc", "1a", 0x1A, "ENC"},
        {"mixed case", "Exp", "0x1A", 0x1A, "EXP"},
        {"capital X", "EXP", "0X7fffffff", 0x7FFFFFFF, "EXP"},
        {"other categories kept as typed", "Misc", "2b", 0x2B, "Misc"},
    };
    for (const auto &[name, category, id, storedId, storedCategory] : rows) {
        TestFolder folder;
        folder.MakeFolder("dics");
        folder.WriteFile("a.tsv", "кот\tзверь\n");
        const ToolRun run = RunTool(folder,
            {"--category", category, "--id", id, "--short-name", "Проба", folder.Path() + "a.tsv",
                folder.Path() + "dics/a"});
        ASSERT_EQ(run.status, 0) << name << run.errors;
        const Loaded loaded(folder.Path() + "dics");
        ASSERT_EQ(loaded.Count(), 1) << name;
        EXPECT_EQ(loaded.Only().GetId(), storedId) << name;
        EXPECT_EQ(loaded.Only().GetAttributes().category, storedCategory) << name;
    }
}

TEST(MkdicToolTest, RefusesAnIdThatAnInstalledDictionaryHas)
{
    TestFolder folder;
    folder.MakeFolder("dics");
    folder.WriteFile("a.tsv", "кот\tзверь\n");
    const std::string input = folder.Path() + "a.tsv";
    const std::string userDics = folder.Path() + "home/data/kalvora/dics/";
    ASSERT_EQ(RunTool(folder, Join(Labels("1A"), {input, folder.Path() + "dics/old"})).status, 0);
    ASSERT_EQ(RunTool(folder, Join(Labels("2C"), {input, userDics + "mine"})).status, 0);

    const std::tuple<const char *, std::vector<std::string>, int, std::string> rows[] = {
        {"beside the target", Join(Labels("0x1a"), {input, folder.Path() + "dics/new"}), 1,
            "the id 1A is already used by the dictionary \"Проба\" in " + folder.Path()
                + "dics/old: choose another id, or give --force-id"},
        {"in the user's dics folder", Join(Labels("2C"), {input, folder.Path() + "dics/new"}), 1,
            "in " + userDics + "mine"},
        {"in the program's dics folder",
            Join(Labels("7A1C0001"), {input, folder.Path() + "dics/new"}), 1, "\"Толковый\" in "},
        {"the folder being replaced",
            Join(Labels("1A"), {"--force", input, folder.Path() + "dics/old"}), 0, ""},
        {"forced", Join(Labels("1A"), {"--force-id", input, folder.Path() + "dics/forced"}), 0, ""},
    };
    for (const auto &[name, arguments, status, message] : rows) {
        const ToolRun run = RunTool(folder, arguments);
        EXPECT_EQ(run.status, status) << name << ": " << run.errors;
        EXPECT_NE(run.errors.find(message), std::string::npos) << name << ": " << run.errors;
    }
    EXPECT_EQ(folder.List("dics"), (std::vector<std::string>{"forced", "old"}));
}

TEST(MkdicToolTest, MakesTheUsersDicsFolderForAFreshUser)
{
    TestFolder folder;
    folder.WriteFile("a.tsv", "кот\tзверь\n");
    const ToolRun run = RunTool(folder,
        Join(Labels(), {folder.Path() + "a.tsv", folder.Path() + "home/data/kalvora/dics/cat"}));
    ASSERT_EQ(run.status, 0) << run.errors;
    ExpectLookups(
        Loaded(folder.Path() + "home/data/kalvora/dics"), {{"кот", "Кот | зверь"}}, "fresh user");
    // Outside the user's data folder a missing folder is more likely a typing mistake.
    const ToolRun outside = RunTool(
        folder, Join(Labels("2B"), {folder.Path() + "a.tsv", folder.Path() + "no/dics/cat"}));
    EXPECT_EQ(outside.status, 1);
    EXPECT_NE(outside.errors.find("does not exist"), std::string::npos) << outside.errors;
    EXPECT_FALSE(folder.Exists("no"));
}

TEST(MkdicToolTest, AcceptsAByteOrderMarkAtTheStartOfEveryTextInput)
{
    const std::string bom = "\xEF\xBB\xBF";
    const std::string article = "Кот\nзверь\n";
    const std::string idx = std::string("кот") + '\0' + BigEndian(0, 4) + BigEndian(10, 4);
    const std::tuple<const char *, Files, std::string, std::vector<std::string>> rows[] = {
        {"tab-separated, encoding guessed", {{"a.tsv", bom + "кот\tзверь\n"}}, "a.tsv", {}},
        {"tab-separated, UTF-8 named", {{"a.tsv", bom + "кот\tзверь\n"}}, "a.tsv",
            {"--encoding", "utf-8"}},
        {"dictd index",
            {{"d.index", bom + "кот\tA\t" + DictdNumber(article.size()) + "\n"},
                {"d.dict", article}},
            "d.index", {}},
        {"StarDict ifo",
            {{"s.ifo",
                 bom
                     + "StarDict's dict ifo file\nversion=2.4.2\nwordcount=1\n"
                       "sametypesequence=m\n"},
                {"s.idx", idx}, {"s.dict", "зверь"}},
            "s.ifo", {}},
    };
    for (const auto &[name, files, input, options] : rows) {
        TestFolder folder;
        const ToolRun run = RunOnSources(folder, files, input, options, "d");
        ASSERT_EQ(run.status, 0) << name << ": " << run.errors;
        ExpectLookups(Loaded(folder.Path() + "dics"), {{"кот", "Кот | зверь"}}, name);
    }
}

TEST(MkdicToolTest, ReportsEveryEntryNotTakenAsItStood)
{
    TestFolder folder;
    folder.MakeFolder("dics");
    folder.WriteFile("a.tsv",
        "замо\xCC\x81к\tкре\xCC\x81пость\n"
        "\tбез слова\n"
            + std::string(200, 'x') + "\tдлинное слово\n"
            + "日本\tнет таких букв\n"
              "кафе\tcafé ☕\n"
              "длинная\t"
            + std::string(100005, 'y') + "\n" + "Кот\tзверь\nКОТ\tкошка\n");
    const ToolRun run = RunTool(folder,
        Join(Labels(),
            {"--report", folder.Path() + "report.tsv", folder.Path() + "a.tsv",
                folder.Path() + "dics/d"}));
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(Count(run.out, "entries without their stress marks"), 1) << run.out;
    ExpectLookups(Loaded(folder.Path() + "dics"),
        {{"замок", "Замок | крепость"}, {"кафе", "Кафе | caf? ?"}}, "report");

    const std::vector<std::string> expected = {
        "changed\tзамо\xCC\x81к\tstress marks dropped",
        "skipped\t\tempty headword",
        "skipped\t" + std::string(200, 'x') + "\theadword of 200 characters, over 199",
        "skipped\t日本\theadword has a character without a Windows-1251 counterpart",
        "changed\tкафе\t2 characters without a Windows-1251 counterpart written as ?",
        "merged\tКОТ\treads the same as Кот: articles joined",
        "cut\tДлинная\tarticle of 100005 characters cut to 99999",
    };
    std::vector<std::string> lines;
    std::istringstream report(folder.ReadFile("report.tsv"));
    for (std::string line; std::getline(report, line);)
        lines.push_back(line);
    EXPECT_EQ(lines, expected);

    // StarDict headwords end in a zero byte and may hold a TAB or a line end: one entry stays
    // one line of the report.
    const auto word = [](const std::string &headword) {
        return headword + '\0' + BigEndian(0, 4) + BigEndian(10, 4);
    };
    const std::string tail = std::string(199, 'x') + "\\";
    folder.WriteFile(
        "sd/s.ifo", "StarDict's dict ifo file\nversion=2.4.2\nwordcount=4\nsametypesequence=m\n");
    folder.WriteFile("sd/s.idx", word("кот") + word("\t\n") + word("日\t本\nx") + word(tail));
    folder.WriteFile("sd/s.dict", "зверь");
    const ToolRun stardict = RunTool(folder,
        Join(Labels("2A"),
            {"--report", folder.Path() + "sd.tsv", folder.Path() + "sd/s.ifo",
                folder.Path() + "dics/s"}));
    ASSERT_EQ(stardict.status, 0) << stardict.errors;
    EXPECT_EQ(folder.ReadFile("sd.tsv"),
        "skipped\t\\t\\n\tempty headword\n"
        "skipped\t日\\t本\\nx\theadword has a character without a Windows-1251 counterpart\n"
        "skipped\t"
            + std::string(199, 'x') + "\\\\\theadword of 200 characters, over 199\n");
}

TEST(MkdicToolTest, LeavesNothingBehindWhenStopped)
{
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "слово" + std::to_string(i) + "\tстатья номер " + std::to_string(i)
            + " с текстом подлиннее, чтобы было что писать\n";
    // SIGQUIT would write a core file as well.
    const rlimit noCore{0, 0};
    ASSERT_EQ(setrlimit(RLIMIT_CORE, &noCore), 0);
    // signal, whether its work folder stays until the next run (SIGKILL cannot be caught)
    const std::tuple<int, bool> rows[] = {
        {SIGINT, false},
        {SIGTERM, false},
        {SIGHUP, false},
        {SIGQUIT, false},
        {SIGPIPE, false},
        {SIGUSR1, false},
        {SIGKILL, true},
    };
    for (const auto &[stop, left] : rows) {
        TestFolder folder;
        folder.MakeFolder("dics");
        folder.WriteFile("big.tsv", text);
        folder.WriteFile("small.tsv", "кот\tзверь\n");
        const pid_t pid = StartTool(
            folder, Join(Labels(), {folder.Path() + "big.tsv", folder.Path() + "dics/out"}));
        ASSERT_GT(pid, 0);
        // Stopped while its work folder exists, the moment a leftover would be left.
        bool working = false;
        for (int i = 0; i < 200000 && !working; ++i) {
            working = !folder.List("dics").empty();
            if (!working)
                usleep(100);
        }
        ASSERT_TRUE(working) << "the work folder never appeared";
        kill(pid, stop);
        const ToolRun run = FinishTool(folder, pid);
        EXPECT_EQ(run.status, 128 + stop) << strsignal(stop);
        EXPECT_EQ(folder.List("dics").empty(), !left) << strsignal(stop);
        // The next run beside it removes what a run that could not clean up left.
        const ToolRun next = RunTool(
            folder, Join(Labels("2A"), {folder.Path() + "small.tsv", folder.Path() + "dics/next"}));
        EXPECT_EQ(next.status, 0) << strsignal(stop) << next.errors;
        EXPECT_EQ(folder.List("dics"), std::vector<std::string>{"next"}) << strsignal(stop);
    }

    // Killed after the old dictionary went aside and before the new one took its place: the
    // old one comes back. A work folder of a process still running is left alone.
    TestFolder folder;
    folder.WriteFile("small.tsv", "кот\tзверь\n");
    ASSERT_EQ(
        RunTool(folder, Join(Labels(), {folder.Path() + "small.tsv", folder.Path() + "d"})).status,
        0);
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = ".d.mkdic-" + std::to_string(gone) + "-Ab1cD2";
    const std::string running = ".e.mkdic-" + std::to_string(getpid()) + "-Ab1cD2";
    // Of an older maker, which wrote no process into the name: whose it is cannot be known.
    const std::string unowned = ".older.mkdic-123456";
    for (const std::string &work : {stale, running, unowned})
        folder.MakeFolder("dics/" + work);
    ASSERT_EQ(std::rename((folder.Path() + "d").c_str(),
                  (folder.Path() + "dics/" + stale + "/replaced").c_str()),
        0);
    const ToolRun next = RunTool(
        folder, Join(Labels("2A"), {folder.Path() + "small.tsv", folder.Path() + "dics/next"}));
    EXPECT_EQ(next.status, 0) << next.errors;
    EXPECT_EQ(folder.List("dics"), (std::vector<std::string>{running, unowned, "d", "next"}));
    EXPECT_EQ(Loaded(folder.Path() + "dics").Lookup("кот"), "Кот | зверь");
}

TEST(MkdicToolTest, WritesUtf8WhenWindows1251CannotHoldEveryLetter)
{
    const std::string european = "été\tsaison chaude, où l'on se baigne\n"
                                 "Œuvre\tensemble des travaux\n"
                                 "naïve\tcandide\n"
                                 "čeština\tčeský jazyk: příliš žluťoučký kůň\n"
                                 "Straße\tdie Straße, Ärger über Öl\n"
                                 "Ärger\tVerdruss\n"
                                 "ёлка\tдерево\n"
                                 "замо\xCC\x81к\tкре\xCC\x81пость\n";
    const Lookups europeanLookups = {
        {"été", "été | saison chaude, où l'on se baigne"},
        {"ÉTÉ", "été | saison chaude, où l'on se baigne"},
        {"œuvre", "Œuvre | ensemble des travaux"},
        {"NAÏVE", "naïve | candide"},
        {"ČEŠTINA", "čeština | český jazyk: příliš žluťoučký kůň"},
        {"straße", "Straße | die Straße, Ärger über Öl"},
        {"ärger", "Ärger | Verdruss"},
        {"ЁЛКА", "ёлка | дерево"},
        {"елка", "елка | дерево"},
        // The headword loses its stress mark so that it can be typed; the article keeps it.
        {"замок", "замок | кре\xCC\x81пость"},
    };
    const std::tuple<const char *, std::string, std::vector<std::string>, std::string, std::string,
        Lookups>
        rows[] = {
            {"French, Czech and German", european, {}, "UTF-8", "UTF-8", europeanLookups},
            {"Russian fits Windows-1251", "кот\tзверь\nзамо\xCC\x81к\tкрепость\n", {},
                "Windows-1251", "cp1251", {{"кот", "Кот | зверь"}, {"замок", "Замок | крепость"}}},
            {"UTF-8 asked for", "кот\tзверь\n", {"--dictionary-encoding", "utf-8"}, "UTF-8",
                "UTF-8", {{"КОТ", "кот | зверь"}}},
            {"Russian with one letter outside Windows-1251 in an article",
                "кот\tзверь\nкафе\tзаведение, по-французски café\n", {}, "UTF-8", "UTF-8",
                {{"кафе", "кафе | заведение, по-французски café"}}},
            // Serbian Ђ is 0x80 in Windows-1251: a byte just past ASCII still goes through the
            // conversion.
            {"Windows-1251 input kept as UTF-8", "\x80\t\xEA\xEE\xF2\n",
                {"--encoding", "cp1251", "--dictionary-encoding", "utf-8"}, "UTF-8", "UTF-8",
                {{"ђ", "Ђ | кот"}}},
        };
    for (const auto &[name, text, options, chosen, stored, lookups] : rows) {
        TestFolder folder;
        folder.MakeFolder("dics");
        folder.WriteFile("in.tsv", text);
        std::vector<std::string> arguments{"--id", "3C", "--category", "EXP", "--short-name", "Eu"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ToolRun run =
            RunTool(folder, Join(arguments, {folder.Path() + "in.tsv", folder.Path() + "dics/eu"}));
        ASSERT_EQ(run.status, 0) << name << ": " << run.errors;
        EXPECT_NE(run.out.find("dictionary encoding: " + chosen + "\n"), std::string::npos)
            << name << ": " << run.out;
        EXPECT_EQ(Count(run.out, "skipped headwords outside Windows-1251"), 0) << name;
        EXPECT_EQ(Count(run.out, "characters without a Windows-1251 counterpart (written as ?)"), 0)
            << name;
        const Loaded loaded(folder.Path() + "dics");
        ASSERT_EQ(loaded.Count(), 1) << name;
        EXPECT_EQ(loaded.Only().GetAttributes().encoding, stored) << name;
        ExpectLookups(loaded, lookups, name);
    }
}

TEST(MkdicToolTest, KeepsTheLinesOfItsSourcesInAUtf8Dictionary)
{
    const std::string LS = "\xE2\x80\xA8";
    const std::string dictdText = "кот\n   1. зверь,  \n      мурлычет.\n\n\n   2. игрушка\n";
    const Files dictd = {
        {"d.index", "кот\tA\t" + DictdNumber(dictdText.size()) + "\n"}, {"d.dict", dictdText}};
    // A StarDict dictionary of one article, its types in the .ifo or, without types, in the
    // article.
    const auto starDict = [](const std::string &types, const std::string &text) {
        return Files{{"s.ifo",
                         "StarDict's dict ifo file\nversion=2.4.2\nwordcount=1\n"
                             + (types.empty() ? "" : "sametypesequence=" + types + "\n")},
            {"s.idx", std::string("пёс") + '\0' + BigEndian(0, 4) + BigEndian(text.size(), 4)},
            {"s.dict", text}};
    };
    const std::string z(1, '\0');
    const std::tuple<const char *, Files, std::string, std::vector<std::string>, std::string,
        std::string, std::string>
        rows[] = {
            {"dictd lines and indents", dictd, "d.index", {}, "UTF-8", "dictd",
                "кот |    1. зверь," + LS + "      мурлычет." + LS + LS + "   2. игрушка"},
            {"dictd in Windows-1251 joins them", dictd, "d.index",
                {"--dictionary-encoding", "cp1251"}, "cp1251", "dictd",
                "Кот | 1. зверь, мурлычет. 2. игрушка"},
            {"StarDict HTML keeps its tags; a line end in it is a blank",
                starDict("h", "<b>друг</b>\n<br><a\nhref='bword://кот'>кот</a>"), "s.ifo", {},
                "UTF-8", "html", "пёс | <b>друг</b> <br><a href='bword://кот'>кот</a>"},
            {"StarDict HTML: a CR alone is a blank too", starDict("h", "<b>друг</b>\r<i>x</i>"),
                "s.ifo", {}, "UTF-8", "html", "пёс | <b>друг</b> <i>x</i>"},
            {"StarDict Pango keeps its tags and lines, a tag whole",
                starDict("g", "<b>друг</b>\n<span\nstyle='italic'>человека</span>"), "s.ifo", {},
                "UTF-8", "pango",
                "пёс | <b>друг</b>" + LS + "<span style='italic'>человека</span>"},
            {"StarDict XDXF keeps its tags and lines",
                starDict("x", "<k>пёс</k>\n<kref>кот</kref>"), "s.ifo", {}, "UTF-8", "xdxf",
                "пёс | <k>пёс</k>" + LS + "<kref>кот</kref>"},
            {"StarDict text among HTML is escaped, fields on lines of their own",
                starDict("th", "a<b & c" + z + "<i>друг</i>"), "s.ifo", {}, "UTF-8", "html",
                "пёс | [a&lt;b &amp; c]<br><i>друг</i>"},
            {"StarDict typing its article: HTML, its text field escaped, XDXF reduced to text",
                starDict("", "h<b>друг</b>" + z + "ma<b" + z + "x<k>x&amp;y</k>" + z), "s.ifo", {},
                "UTF-8", "html", "пёс | <b>друг</b><br>a&lt;b<br>x&amp;y"},
            {"StarDict of text alone stays plain", starDict("m", "друг\nчеловека"), "s.ifo", {},
                "UTF-8", "plain", "пёс | друг" + LS + "человека"},
            {"one-line text stays Windows-1251", {{"t.tsv", "кот\t  зверь  \n"}}, "t.tsv", {},
                "cp1251", "plain", "Кот | зверь"},
        };
    for (const auto &[name, files, input, options, encoding, markup, lookup] : rows) {
        TestFolder folder;
        folder.MakeFolder("dics");
        for (const auto &[path, bytes] : files)
            folder.WriteFile("in/" + path, bytes);
        std::vector<std::string> arguments{"--id", "3C", "--category", "EXP", "--short-name", "L"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ToolRun run = RunTool(
            folder, Join(arguments, {folder.Path() + "in/" + input, folder.Path() + "dics/out"}));
        ASSERT_EQ(run.status, 0) << name << ": " << run.errors;
        const Loaded loaded(folder.Path() + "dics");
        ASSERT_EQ(loaded.Count(), 1) << name;
        const DictionaryAttributes &attributes = loaded.Only().GetAttributes();
        EXPECT_EQ(attributes.encoding, encoding) << name;
        EXPECT_EQ(attributes.markup, markup) << name;
        EXPECT_EQ(loaded.Lookup(name[0] == 'S' ? "пёс" : "кот"), lookup) << name;
    }
}

TEST(MkdicToolTest, AttributeValuesKeepEveryCharacterInEitherEncoding)
{
    const std::string emoji = "\xF0\x9F\x98\x80"; // two UTF-16 units
    const std::tuple<const char *, std::string, std::string, int> rows[] = {
        {"French short name", "Français", "cp1251", 0},
        {"Czech and German in UTF-8", "Čeština, Wörterbuch", "utf-8", 0},
        {"a character beyond U+FFFF", "Emoji " + emoji, "cp1251", 0},
        {"exactly one line of UTF-16 units", std::string(87, 'n') + emoji, "cp1251", 0},
        {"one unit over the line", std::string(88, 'n') + emoji, "cp1251", 2},
    };
    for (const auto &[name, longName, encoding, status] : rows) {
        TestFolder folder;
        folder.MakeFolder("dics");
        folder.WriteFile("in.tsv", "кот\tзверь\n");
        const ToolRun run = RunTool(folder,
            {"--id", "3D", "--category", "EXP", "--short-name", "Français", "--long-name", longName,
                "--dictionary-encoding", encoding, folder.Path() + "in.tsv",
                folder.Path() + "dics/fr"});
        ASSERT_EQ(run.status, status) << name << ": " << run.errors;
        if (status != 0)
            continue;
        const Loaded loaded(folder.Path() + "dics");
        ASSERT_EQ(loaded.Count(), 1) << name;
        EXPECT_EQ(loaded.Only().GetAttributes().shortName, "Français") << name;
        EXPECT_EQ(loaded.Only().GetAttributes().longName, longName) << name;
    }
}
