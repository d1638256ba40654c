#include "storage/Source_dictionary.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>
#include <zlib.h>
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "storage/Article_search.h"
#include "storage/Database.h"
#include "storage/Dictzip_file.h"
#include "storage/Installed_sources.h"
#include "storage/Source_cache.h"
#include "storage/Source_entries.h"
#include "support/Log_file.h"

namespace {

std::string BigEndian(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Deflate(const std::string &bytes, int windowBits, int flush, z_stream *stream)
{
    std::string out(deflateBound(stream, bytes.size()) + 64, '\0');
    stream->next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    stream->avail_in = static_cast<uInt>(bytes.size());
    stream->next_out = reinterpret_cast<Bytef *>(out.data());
    stream->avail_out = static_cast<uInt>(out.size());
    deflate(stream, flush);
    out.resize(out.size() - stream->avail_out);
    (void)windowBits;
    return out;
}

// A dictzip file whose table says chunkLength whatever the pieces hold: a chunk can be made to
// inflate short. Without chunkLength, a gzip file without a table.
std::string GzipPieces(const std::vector<std::string> &pieces, std::size_t chunkLength)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<std::string> chunks;
    std::string text;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        text += pieces[i];
        chunks.push_back(
            Deflate(pieces[i], 0, i + 1 == pieces.size() ? Z_FINISH : Z_FULL_FLUSH, &stream));
    }
    deflateEnd(&stream);
    std::string header("\x1F\x8B\x08\x00\0\0\0\0\x02\x03", 10);
    if (chunkLength) {
        header[3] = 0x04;
        std::string field = "RA" + std::string(2, '\0') + "\x01" + std::string(1, '\0');
        field += static_cast<char>(chunkLength & 0xFF);
        field += static_cast<char>(chunkLength >> 8);
        field += static_cast<char>(chunks.size() & 0xFF);
        field += static_cast<char>(chunks.size() >> 8);
        for (const std::string &chunk : chunks) {
            field += static_cast<char>(chunk.size() & 0xFF);
            field += static_cast<char>(chunk.size() >> 8);
        }
        field[2] = static_cast<char>((field.size() - 4) & 0xFF);
        field[3] = static_cast<char>((field.size() - 4) >> 8);
        header += static_cast<char>(field.size() & 0xFF);
        header += static_cast<char>(field.size() >> 8);
        header += field;
    }
    std::string out = header;
    for (const std::string &chunk : chunks)
        out += chunk;
    const auto crc =
        crc32(0, reinterpret_cast<const Bytef *>(text.data()), static_cast<uInt>(text.size()));
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((crc >> (8 * i)) & 0xFF);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((text.size() >> (8 * i)) & 0xFF);
    return out;
}

// A gzip file; with chunkLength, a dictzip one whose chunks hold that many bytes each.
std::string Gzip(const std::string &text, std::size_t chunkLength = 0)
{
    if (chunkLength == 0)
        return GzipPieces({text}, 0);
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < text.size(); at += chunkLength)
        pieces.push_back(text.substr(at, chunkLength));
    return GzipPieces(pieces, chunkLength);
}

// A dictd database: entries of (headword, article); articles equal in text are written once.
struct Dictd
{
    std::string index;
    std::string dict;

    void Add(const std::string &headword, const std::string &article)
    {
        const std::size_t at = dict.find(article);
        const std::size_t offset = at == std::string::npos ? dict.size() : at;
        if (at == std::string::npos)
            dict += article;
        index += headword + "\t" + DictdNumber(offset) + "\t" + DictdNumber(article.size()) + "\n";
    }
};

Dictd SampleDictd()
{
    Dictd d;
    d.Add("00-database-short", "00-database-short\n     Zoo Words\n");
    d.Add("00-database-url", "00-database-url\n     http://example.org/zoo\n");
    d.Add("00-database-utf8", "\n");
    d.Add("cat", "Cat\n   A small animal\n   that purrs.\n\n");
    d.Add("cat", "cat\n   Also: a lion, in play.\n");
    d.Add("dog", "dog\n   Barks; man's friend.\n");
    d.Add("hound", "dog\n   Barks; man's friend.\n");
    d.Add("ёж", "Ёж\n   Колючий зверёк.\n");
    d.Add("zebra", std::string(300, 'z') + " stripes\n");
    d.Add("unix", "Unix\n   A system.\n");
    d.Add("Éclair", "éclair\n   Un gâteau.\n");
    return d;
}

struct StarDict
{
    std::string idx;
    std::string dict;
    std::string syn;
    int words = 0;

    void Add(const std::string &headword, const std::string &article, int bits)
    {
        idx += headword + '\0' + BigEndian(dict.size(), bits / 8) + BigEndian(article.size(), 4);
        dict += article;
        ++words;
    }
    std::string Ifo(const std::string &version, int bits, const std::string &more = "") const
    {
        return "StarDict's dict ifo file\nversion=" + version + "\nbookname=Beasts\nwordcount="
            + std::to_string(words) + "\nidxfilesize=" + std::to_string(idx.size())
            + "\nidxoffsetbits=" + std::to_string(bits) + "\nwebsite=http://example.org/b\n" + more;
    }
};

StarDict SampleStarDict(int bits)
{
    StarDict s;
    s.Add("bear", std::string("mBig and brown.") + '\0', bits);
    s.Add("cat", std::string("h<b>Small</b><br>&amp; soft") + '\0' + "t'kat" + '\0', bits);
    s.Add("Cat", std::string("mA second cat.") + '\0', bits);
    s.Add("owl", std::string("W") + BigEndian(3, 4) + "abc" + "mHoots." + '\0', bits);
    s.Add("ёж", std::string("xКолючий <k>ёж</k>") + '\0', bits);
    s.syn += std::string("kitty") + '\0' + BigEndian(1, 4);
    s.syn += std::string("bruin") + '\0' + BigEndian(0, 4);
    return s;
}

std::string Quoted(const std::string &text)
{
    return "'" + text + "'";
}

// Converts the source with the maker, as UTF-8, into root/dics/converted.
bool Convert(const TestFolder &folder, const std::string &source)
{
    folder.MakeFolder("dics");
    const std::string command = std::string("HOME=") + Quoted(folder.Path() + "home") + " "
        + MKDIC_TOOL + " --id 1 --category EXP --short-name Z --dictionary-encoding utf-8 "
        + Quoted(source) + " " + Quoted(folder.Path() + "dics/converted") + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

struct Loaded
{
    Database converted;
    Database direct;
    Loaded(const TestFolder &folder, const std::string &source)
        : converted("", nullptr, folder.Path() + "dics")
        , direct("", nullptr, folder.Path() + "none")
    {
        converted.Load();
        direct.AddSources({source});
        direct.Load();
    }
};

void ExpectSameDictionary(Database &converted, Database &direct, const std::string &name)
{
    ASSERT_EQ(converted.GetCount(), 1) << name;
    ASSERT_EQ(direct.GetCount(), 1) << name;
    Dictionary &a = *converted.GetDictionary(0);
    Dictionary &b = *direct.GetDictionary(0);
    ASSERT_EQ(a.GetWordCount(), b.GetWordCount()) << name;
    // The maker takes names the source lacks from its command line.
    if (a.GetAttributes().longName != "Z") {
        EXPECT_EQ(a.GetAttributes().longName, b.GetAttributes().longName) << name;
        EXPECT_EQ(a.GetAttributes().source, b.GetAttributes().source) << name;
    }
    EXPECT_EQ(a.GetAttributes().markup, b.GetAttributes().markup) << name;
    std::vector<std::string> queries;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(a.GetWordCount()); ++i) {
        EXPECT_EQ(a.GetWord(i), b.GetWord(i)) << name << " word " << i;
        EXPECT_EQ(a.GetArticle(i), b.GetArticle(i)) << name << " word " << i;
        queries.push_back(a.GetWord(i));
        queries.push_back(a.GetWord(i).substr(0, 2) + "q");
    }
    // Read directly, the records lie in the order of their headwords upper-cased, those that
    // read the same merged, and no headword keeps a control byte.
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(b.GetWordCount()); ++i) {
        const std::string word = b.GetWord(i);
        EXPECT_TRUE(std::none_of(
            word.begin(), word.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
            << name << " word " << i;
        if (i > 0) {
            EXPECT_LT(DictionaryUpper(b.GetWord(i - 1), DictionaryEncoding::Utf8),
                DictionaryUpper(word, DictionaryEncoding::Utf8))
                << name << " word " << i;
        }
    }
    // The word list takes its words a stretch at a time.
    WordRange listed[2];
    a.GetWords(0, static_cast<std::int32_t>(a.GetWordCount()), listed[0]);
    b.GetWords(0, static_cast<std::int32_t>(b.GetWordCount()), listed[1]);
    ASSERT_EQ(listed[0].size(), listed[1].size()) << name;
    for (std::size_t k = 0; k < listed[0].size(); ++k)
        EXPECT_EQ(listed[0][k], listed[1][k]) << name << " listed word " << k;
    for (const std::string &query : queries) {
        WordPosition p, q;
        std::int32_t m = -5, n = -5;
        EXPECT_EQ(converted.Find(0, query, p, &m), direct.Find(0, query, q, &n)) << name << query;
        EXPECT_EQ(p.index, q.index) << name << ": " << query;
        EXPECT_EQ(m, n) << name << ": " << query;
    }
}

// The converted dictionary, the installed one, and the installed one with every article made.
void ExpectSameFinds(
    Loaded &loaded, const std::vector<std::string> &phrases, const std::string &name = "")
{
    for (const std::string &phrase : phrases) {
        std::vector<std::string> found[3];
        Database *databases[] = {&loaded.converted, &loaded.direct, &loaded.direct};
        for (int k = 0; k < 3; ++k) {
            ArticleSearch search(*databases[k], phrase);
            search.SetSourcePrefilter(k != 2);
            std::atomic<bool> cancel{false};
            search.Run(
                [&](ArticleMatches &&matches) {
                    for (std::size_t i = 0; i < matches.Size(); ++i)
                        found[k].push_back(std::to_string(matches.Index(i)) + " "
                            + std::string(matches.Headword(i)) + " "
                            + std::to_string(matches.Position(i)) + " "
                            + std::string(matches.Excerpt(i)) + " "
                            + ReadExcerpt(*databases[k]->GetDictionary(0), matches, i));
                },
                cancel, 2);
        }
        EXPECT_EQ(found[0], found[1]) << name << ": " << phrase;
        EXPECT_EQ(found[2], found[1]) << name << ": " << phrase;
    }
}

std::string ReadLog(const TestFolder &folder)
{
    logFile.Open(folder.Path() + "other.log");
    return folder.ReadFile("file.log");
}

} // namespace

TEST(SourceDictionaryTest, ReadsAsTheMakerConvertsInEveryForm)
{
    const Dictd dictd = SampleDictd();
    Dictd latin;
    latin.Add("caf\xE9", "caf\xE9\n  A place for coffee, caf\xE9 au lait.\n");
    latin.Add("na\xEFve", "Na\xEFve\n  Innocent.\n");
    latin.Add("na\xEFvet\xE9s", "Na\xEFvet\xE9s\n  Innocences.\n");
    // Headwords longer than a machine word, in ASCII order upper-cased: letters at either end
    // of the alphabet, the bytes beside them, and a control byte that becomes a space.
    Dictd edges;
    for (const char *headword :
        {"@@@@@@@@ at", "AAAAAAAA b", "aaaaaaaa c",
            "control\x1F"
            "byte",
            "zzzzzzzz a", "ZZZZZZZZ b", "````````", "{{{{{{{{", "\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F"})
        edges.Add(headword, std::string(headword) + " is a word.\n");
    // Headwords in ASCII that say nothing of the encoding: the records come from the index alone,
    // their spellings, first lines and encoding from the articles as they are read.
    Dictd plain;
    for (const auto &[headword, article] : std::vector<std::pair<std::string, std::string>>{
             {"00-database-short", "00-database-short\n Plain\n"},
             {"00-database-url", "00-database-url\n http://example.org/p\n"},
             {"unix", "Unix\n A system.\n"}, {"cat", "Cat\n A small animal.\n"},
             {"cat", "cat\n Also a lion.\n"}, {"dog", "dog\n Barks.\n"},
             {"hound", "dog\n Barks.\n"}, {"owl", "An owl hoots.\n"},
             {" ant ", "Ant\n Spaces around its headword.\n"}, {"bee ", "A bee.\n"}})
        plain.Add(headword, article);
    // More than are spelled one by one: the rest are spelled at once.
    Dictd many = plain;
    for (int i = 0; i < 1500; ++i)
        many.Add("word" + std::to_string(i * 7919 % 1500),
            "Word" + std::to_string(i * 7919 % 1500) + "\n   Number " + std::to_string(i) + ".\n");
    // A capital yo alone: its ye spelling too is compared with the article's first line.
    Dictd capitalYo;
    capitalYo.Add("00-database-utf8", "\n");
    capitalYo.Add("Ёлка", "ёлка\n   Дерево.\n");
    capitalYo.Add("ель", "Ель\n   Тоже дерево.\n");
    Dictd plainUtf8 = plain;
    plainUtf8.Add("cafe", "Cafe\n   A caf\xC3\xA9.\n");
    // A first line beyond ASCII that upper-cases as the headword does: the long s.
    plainUtf8.Add("sun", "\xC5\xBFun\n   The star.\n");
    Dictd plainLatin = plain;
    plainLatin.Add("cafe", "Cafe\n   A caf\xE9.\n");
    // The index's first four lines moved to its end: its articles lie in the data in another
    // order, and not one that is its own reverse.
    std::size_t fourth = 0;
    for (int line = 0; line < 4; ++line)
        fourth = dictd.index.find('\n', fourth) + 1;
    const std::string turned = dictd.index.substr(fourth) + dictd.index.substr(0, fourth);
    const StarDict star32 = SampleStarDict(32);
    const StarDict star64 = SampleStarDict(64);
    StarDict typed;
    typed.Add("alpha", std::string("'a") + '\0' + "First letter.", 32);
    typed.Add("beta", std::string("'b") + '\0' + "Second letter.", 32);
    // Tags of one kind for every article, and an article typing HTML first.
    StarDict html, pango, xdxf;
    html.Add("cat", "<b>Small</b>\n<a\nhref=\"bword://dog\">dog</a> &amp; soft", 32);
    html.Add("dog", "<i>Loyal</i><br>\n  friend", 32);
    pango.Add("cat", "<b>Small</b>\n<span\nweight=\"bold\">soft</span>", 32);
    xdxf.Add("cat", "<k>cat</k>\n<kref>dog</kref> &lt;3", 32);
    StarDict mixed;
    mixed.Add("aardvark", std::string("h<b>Digs</b>\n&lt;") + '\0' + "t'a:d" + '\0', 32);
    mixed.Add("bear", std::string("mBig & <brown>") + '\0', 32);
    mixed.Add("ёж", std::string("xКолючий <k>ёж</k>") + '\0' + "gA <b>b</b>" + '\0', 32);
    using Files = std::vector<std::pair<std::string, std::string>>;
    const std::tuple<const char *, Files, std::string> rows[] = {
        {"dictd, plain data", {{"z.index", dictd.index}, {"z.dict", dictd.dict}}, "z.index"},
        {"dictd, dictzip of 7-byte chunks",
            {{"z.index", dictd.index}, {"z.dict.dz", Gzip(dictd.dict, 7)}}, "z.index"},
        {"dictd, gzip without chunks", {{"z.index", dictd.index}, {"z.dict.dz", Gzip(dictd.dict)}},
            "z.index"},
        {"dictd, not UTF-8", {{"l.index", latin.index}, {"l.dict", latin.dict}}, "l.index"},
        {"dictd, the index in another order than the data",
            {{"b.index", turned}, {"b.dict.dz", Gzip(dictd.dict, 7)}}, "b.index"},
        {"dictd, ASCII headwords, UTF-8 articles",
            {{"p.index", plainUtf8.index}, {"p.dict.dz", Gzip(plainUtf8.dict, 9)}}, "p.index"},
        {"dictd, ASCII headwords, many",
            {{"m.index", many.index}, {"m.dict.dz", Gzip(many.dict, 64)}}, "m.index"},
        {"dictd, long ASCII headwords", {{"e.index", edges.index}, {"e.dict", edges.dict}},
            "e.index"},
        {"dictd, a capital yo", {{"y.index", capitalYo.index}, {"y.dict", capitalYo.dict}},
            "y.index"},
        {"dictd, ASCII headwords, an article not UTF-8",
            {{"p.index", plainLatin.index}, {"p.dict", plainLatin.dict}}, "p.index"},
        {"StarDict 2.4.2, 32-bit offsets, synonyms",
            {{"s.ifo", star32.Ifo("2.4.2", 32)}, {"s.idx", star32.idx}, {"s.dict", star32.dict},
                {"s.syn", star32.syn}},
            "s.ifo"},
        {"StarDict 3.0.0, 64-bit offsets, compressed",
            {{"s.ifo", star64.Ifo("3.0.0", 64)}, {"s.idx.gz", Gzip(star64.idx)},
                {"s.dict.dz", Gzip(star64.dict, 5)}, {"s.syn", star64.syn}},
            "s.ifo"},
        {"StarDict HTML",
            {{"h.ifo", html.Ifo("2.4.2", 32, "sametypesequence=h\n")}, {"h.idx", html.idx},
                {"h.dict", html.dict}},
            "h.ifo"},
        {"StarDict Pango, compressed",
            {{"g.ifo", pango.Ifo("2.4.2", 32, "sametypesequence=g\n")}, {"g.idx", pango.idx},
                {"g.dict.dz", Gzip(pango.dict, 7)}},
            "g.ifo"},
        {"StarDict XDXF",
            {{"x.ifo", xdxf.Ifo("2.4.2", 32, "sametypesequence=x\n")}, {"x.idx", xdxf.idx},
                {"x.dict", xdxf.dict}},
            "x.ifo"},
        {"StarDict typing each article, HTML first",
            {{"m.ifo", mixed.Ifo("2.4.2", 32)}, {"m.idx", mixed.idx}, {"m.dict", mixed.dict}},
            "m.ifo"},
        {"StarDict, one type sequence",
            {{"t.ifo", typed.Ifo("2.4.2", 32, "sametypesequence=tm\n")}, {"t.idx", typed.idx},
                {"t.dict", typed.dict}},
            "t.ifo"},
    };
    for (const auto &[name, files, source] : rows) {
        TestFolder folder;
        for (const auto &[file, bytes] : files)
            folder.WriteFile("src/" + file, bytes);
        ASSERT_TRUE(Convert(folder, folder.Path() + "src/" + source)) << name;
        Loaded loaded(folder, folder.Path() + "src/" + source);
        ExpectSameDictionary(loaded.converted, loaded.direct, name);
    }
}

// Entries sharing an article get one number, however the articles lie: spread out, or crowded
// into a few bytes (places that start together and differ in length alone).
TEST(SourceDictionaryTest, NumbersEachSharedArticleOnceHoweverItsArticlesLie)
{
    const TestFolder folder;
    constexpr std::uint64_t COUNT = 400;
    // Articles in the order of the index; crowded at three offsets, of lengths that fall as they
    // are met; and scattered over gigabytes of a sparse data file.
    enum Layout
    {
        Spread,
        Crowded,
        Far
    };
    for (const Layout layout : {Spread, Crowded, Far}) {
        const auto place = [layout](std::uint64_t i) {
            return layout == Crowded ? SourcePlace{i % 3, COUNT - i}
                : layout == Far      ? SourcePlace{(i * 7919 % COUNT) << 24, 5}
                                     : SourcePlace{i * 8, 5};
        };
        std::string index;
        // Each article under a first headword, then under a second one in the reverse order.
        for (std::uint64_t pass = 0; pass < 2; ++pass)
            for (std::uint64_t k = 0; k < COUNT; ++k) {
                const std::uint64_t i = pass == 0 ? k : COUNT - 1 - k;
                index += (pass == 0 ? "a" : "b") + std::to_string(i) + "\t"
                    + DictdNumber(place(i).offset) + "\t" + DictdNumber(place(i).length) + "\n";
            }
        folder.WriteFile("n.index", index);
        folder.WriteFile("n.dict", std::string(COUNT * 8, 'x'));
        ASSERT_EQ(truncate((folder.Path() + "n.dict").c_str(),
                      static_cast<off_t>(std::max<std::uint64_t>(COUNT * 8, COUNT << 24))),
            0);
        SourceData data;
        std::string error;
        ASSERT_TRUE(ReadSource(folder.Path() + "n.index", SourceFormat::Dictd, TextEncoding::Auto,
            data, error, ArticleText::None))
            << error;
        ASSERT_EQ(data.places.size(), COUNT) << layout;
        ASSERT_EQ(data.entries.size(), 2 * COUNT) << layout;
        for (std::uint64_t k = 0; k < COUNT; ++k) {
            const std::uint32_t first = data.entries[k].article;
            const std::uint32_t second = data.entries[2 * COUNT - 1 - k].article;
            EXPECT_EQ(first, k) << layout;
            EXPECT_EQ(second, first) << layout << " " << k;
            EXPECT_EQ(data.places[first].offset, place(k).offset) << layout;
            EXPECT_EQ(data.places[first].length, place(k).length) << layout;
        }
        // An installed dictionary's records: the places in the order they lie, those at one
        // offset in the order first met, and both headwords of an article at its place.
        SourceData direct;
        PreparedRecords records;
        BuildReport report;
        bool settled = false;
        ASSERT_TRUE(
            PrepareDictdRecords(folder.Path() + "n.index", direct, records, report, settled, error))
            << error;
        ASSERT_TRUE(settled);
        ASSERT_EQ(direct.places.size(), COUNT) << layout;
        ASSERT_EQ(records.headwordStart.size(), 2 * COUNT) << layout;
        std::vector<std::uint64_t> firstMet(COUNT, UINT64_MAX);
        std::vector<std::uint32_t> placeOf[2] = {
            std::vector<std::uint32_t>(COUNT), std::vector<std::uint32_t>(COUNT)};
        for (std::size_t r = 0; r < records.headwordStart.size(); ++r) {
            const std::string headword = records.headwordText.c_str() + records.headwordStart[r];
            const std::uint64_t k = std::stoull(headword.substr(1));
            ASSERT_EQ(records.partStart[r + 1] - records.partStart[r], 1u) << headword;
            const std::uint32_t article = records.parts[records.partStart[r]].article;
            ASSERT_LT(article, COUNT) << headword;
            EXPECT_EQ(direct.places[article].offset, place(k).offset) << layout << headword;
            EXPECT_EQ(direct.places[article].length, place(k).length) << layout << headword;
            placeOf[headword[0] == 'b'][k] = article;
            if (headword[0] == 'a')
                firstMet[article] = k;
        }
        EXPECT_EQ(placeOf[0], placeOf[1]) << layout;
        for (std::uint32_t p = 1; p < COUNT; ++p)
            EXPECT_LT(std::make_pair(direct.places[p - 1].offset, firstMet[p - 1]),
                std::make_pair(direct.places[p].offset, firstMet[p]))
                << layout << " place " << p;
    }
}

TEST(SourceDictionaryTest, ReadsDictzipChunksAtTheirBoundaries)
{
    std::string text;
    for (int i = 0; text.size() < 1000; ++i)
        text += "line " + std::to_string(i) + "\n";
    TestFolder folder;
    folder.WriteFile("t.dz", Gzip(text, 100));
    DictzipFile file;
    std::string error;
    ASSERT_TRUE(file.Open(folder.Path() + "t.dz", error)) << error;
    ASSERT_EQ(file.Size(), text.size());
    const std::uint64_t last = text.size() - text.size() % 100;
    // offset, length, chunks inflated in all after the read
    const std::tuple<const char *, std::uint64_t, std::size_t, std::uint64_t> rows[] = {
        {"the last chunk (inflated on opening)", last, text.size() - last, 1},
        {"inside the first chunk", 10, 20, 2},
        {"the first chunk again, cached", 0, 100, 2},
        {"across two chunks", 95, 10, 3},
        {"from a chunk's last byte on", 99, 2, 3},
        {"to the very end", text.size() - 3, 3, 3},
        {"eight chunks more evict the first three", 200, 800, 11},
        {"the first chunk again, evicted", 0, 1, 12},
        {"everything: ten not cached", 0, text.size(), 22},
        {"nothing at the end", text.size(), 0, 22},
    };
    for (const auto &[name, offset, length, inflated] : rows) {
        std::string bytes;
        ASSERT_TRUE(file.Read(offset, length, bytes, error)) << name << ": " << error;
        EXPECT_EQ(bytes, text.substr(offset, length)) << name;
        EXPECT_EQ(file.ChunksInflated(), inflated) << name;
    }
    std::string bytes;
    EXPECT_FALSE(file.Read(text.size() - 1, 2, bytes, error));
    EXPECT_NE(error.find("beyond its end"), std::string::npos) << error;

    // A middle chunk that inflates short: a read ending inside what it holds fails all the same,
    // for every byte after it would be read from the wrong place.
    folder.WriteFile(
        "short.dz", GzipPieces({std::string(100, 'a'), std::string(60, 'b'), "ccc"}, 100));
    DictzipFile damaged;
    ASSERT_TRUE(damaged.Open(folder.Path() + "short.dz", error)) << error;
    EXPECT_FALSE(damaged.Read(110, 20, bytes, error));
    EXPECT_NE(error.find("chunk 2 of 3 does not inflate"), std::string::npos) << error;
}

TEST(SourceDictionaryTest, RefusesDamagedSourcesAndLoadsTheOthers)
{
    const Dictd good = SampleDictd();
    const StarDict star = SampleStarDict(32);
    std::string badChunks = Gzip(good.dict, 50);
    // A block of type 3, which does not exist, where the first chunk begins.
    badChunks[12 + static_cast<unsigned char>(badChunks[10])] = '\xFF';
    std::string pastEnd = Gzip(good.dict, 50);
    pastEnd.resize(pastEnd.size() - 30);
    using Files = std::vector<std::pair<std::string, std::string>>;
    const std::string ifo = star.Ifo("2.4.2", 32);
    // files, the reason the log gives
    const std::tuple<const char *, Files, std::string> rows[] = {
        {"dictzip header cut off", {{"b.index", good.index}, {"b.dict.dz", "\x1F\x8B\x08\x04"}},
            "b.dict.dz: "},
        {"dictzip table past the end", {{"b.index", good.index}, {"b.dict.dz", pastEnd}},
            "points past the end"},
        {"dictzip chunk corrupt", {{"b.index", good.index}, {"b.dict.dz", badChunks}},
            "does not inflate"},
        {"index line with bad base64", {{"b.index", "cat\tA!\tB\n"}, {"b.dict", good.dict}},
            "b.index:1: not a dictd index line"},
        {"index offset past the end", {{"b.index", "cat\tA\tZZZ\n"}, {"b.dict", good.dict}},
            "beyond the end"},
        {"index line without fields", {{"b.index", "cat\n"}, {"b.dict", good.dict}},
            "b.index:1: not a dictd index line"},
        {"index of zero bytes", {{"b.index", ""}, {"b.dict", good.dict}}, "no usable entries"},
        {"ifo of zero bytes", {{"b.ifo", ""}}, "not a StarDict .ifo file"},
        {"ifo wordcount lies",
            {{"b.ifo", ifo + "wordcount=9\n"}, {"b.idx", star.idx}, {"b.dict", star.dict}},
            "says wordcount=9"},
        {"ifo idxfilesize lies",
            {{"b.ifo", ifo + "idxfilesize=3\n"}, {"b.idx", star.idx}, {"b.dict", star.dict}},
            "says idxfilesize=3"},
        {"ifo of an unknown version",
            {{"b.ifo", "StarDict's dict ifo file\nversion=9\nwordcount=1\n"}}, "version=9"},
        {"idx cut inside a record",
            {{"b.ifo", "StarDict's dict ifo file\nversion=2.4.2\nwordcount=5\n"},
                {"b.idx", star.idx.substr(0, star.idx.size() - 3)}, {"b.dict", star.dict}},
            "word 5 is cut off"},
        {"syn past wordcount",
            {{"b.ifo", ifo}, {"b.idx", star.idx}, {"b.dict", star.dict},
                {"b.syn", std::string("x") + '\0' + BigEndian(5, 4)}},
            "names word 5, beyond the index"},
    };
    for (const auto &[name, files, reason] : rows) {
        TestFolder folder;
        logFile.Open(folder.Path() + "file.log");
        folder.WriteFile("src/a/good.index", good.index);
        folder.WriteFile("src/a/good.dict", good.dict);
        for (const auto &[file, bytes] : files)
            folder.WriteFile("src/" + file, bytes);
        Database database("", nullptr, folder.Path() + "none");
        database.AddSources({folder.Path() + "src"});
        database.Load();
        const std::string log = ReadLog(folder);
        EXPECT_EQ(database.GetCount(), 1) << name;
        EXPECT_NE(log.find(reason), std::string::npos) << name << "\n" << log;
        EXPECT_NE(log.find(folder.Path() + "src/b."), std::string::npos) << name << "\n" << log;
    }
}

TEST(SourceDictionaryTest, ReadsGiantDataFilesWhereAskedAndRefusesGiantIndexes)
{
    const Dictd good = SampleDictd();
    TestFolder folder;
    logFile.Open(folder.Path() + "file.log");
    // Sparse: gigabytes on paper, nothing on the disk.
    const std::string far = "far\n   beyond two gigabytes\n";
    folder.WriteFile(
        "src/big.index", good.index + "far\tCAAAAA\t" + DictdNumber(far.size()) + "\n");
    folder.WriteFile("src/big.dict", good.dict);
    ASSERT_EQ(truncate((folder.Path() + "src/big.dict").c_str(), 3LL << 30), 0);
    {
        std::fstream data(
            folder.Path() + "src/big.dict", std::ios::in | std::ios::out | std::ios::binary);
        data.seekp(2LL << 30);
        data.write(far.data(), static_cast<std::streamsize>(far.size()));
    }
    folder.WriteFile("src/huge.index", "");
    ASSERT_EQ(truncate((folder.Path() + "src/huge.index").c_str(), 3LL << 29), 0);
    folder.WriteFile("src/huge.dict", good.dict);
    Database database("", nullptr, folder.Path() + "none");
    database.AddSources({folder.Path() + "src"});
    database.Load();
    const std::string log = ReadLog(folder);
    ASSERT_EQ(database.GetCount(), 1) << log;
    EXPECT_NE(log.find("huge.index: 1536 MB, too large"), std::string::npos) << log;
    WordPosition farWord;
    ASSERT_TRUE(database.Find(0, "far", farWord));
    EXPECT_EQ(database.GetArticle(farWord), "beyond two gigabytes");
}

TEST(SourceDictionaryTest, FindsEachDictionaryOnceWhereverItIsReached)
{
    const Dictd d = SampleDictd();
    TestFolder folder;
    logFile.Open(folder.Path() + "file.log");
    folder.WriteFile("std/dictd/z.index", d.index);
    folder.WriteFile("std/dictd/z.dict", d.dict);
    folder.WriteFile("std/dictd/deeper/further/y.index", d.index);
    folder.MakeFolder("std/empty");
    ASSERT_EQ(
        symlink((folder.Path() + "std/dictd").c_str(), (folder.Path() + "std/again").c_str()), 0);
    ASSERT_EQ(
        symlink((folder.Path() + "std/loop").c_str(), (folder.Path() + "std/loop").c_str()), 0);
    ASSERT_EQ(symlink("..", (folder.Path() + "std/dictd/up").c_str()), 0);
    const std::vector<std::string> found = FindSources({folder.Path() + "std"});
    EXPECT_EQ(found, std::vector<std::string>{folder.Path() + "std/again/z.index"});
    EXPECT_NE(ReadLog(folder).find("read once"), std::string::npos);

    // Converted and installed: the converted one is read.
    ASSERT_TRUE(Convert(folder, folder.Path() + "std/dictd/z.index"));
    logFile.Open(folder.Path() + "file.log");
    Database database("", nullptr, folder.Path() + "dics");
    database.AddSources({folder.Path() + "std/dictd"});
    database.Load();
    EXPECT_EQ(database.GetCount(), 1);
    EXPECT_TRUE(database.GetDictionary(0)->GetSourcePath().empty());
    EXPECT_NE(ReadLog(folder).find("not read again"), std::string::npos);
}

TEST(SourceDictionaryTest, TakesTheDictionaryPathFromTheEnvironment)
{
    const char *saved[] = {
        std::getenv("KALVORA_DICTIONARY_PATH"), std::getenv("HOME"), std::getenv("XDG_DATA_HOME")};
    const std::string keep[] = {
        saved[0] ? saved[0] : "", saved[1] ? saved[1] : "", saved[2] ? saved[2] : ""};
    // KALVORA_DICTIONARY_PATH (null: unset), XDG_DATA_HOME (null: unset), folders
    const std::tuple<const char *, const char *, std::vector<std::string>> rows[] = {
        {"", "/x", {}},
        {":", "/x", {}},
        {"/a:/b", "/x", {"/a", "/b"}},
        {"/a::/b:", "/x", {"/a", "/b"}},
        {nullptr, "/x",
            {"/usr/share/dictd", "/usr/share/stardict/dic", "/x/stardict/dic", "/h/.stardict/dic"}},
        {nullptr, nullptr,
            {"/usr/share/dictd", "/usr/share/stardict/dic", "/h/.local/share/stardict/dic",
                "/h/.stardict/dic"}},
        {nullptr, "relative",
            {"/usr/share/dictd", "/usr/share/stardict/dic", "/h/.local/share/stardict/dic",
                "/h/.stardict/dic"}},
    };
    setenv("HOME", "/h", 1);
    for (const auto &[path, data, folders] : rows) {
        if (path)
            setenv("KALVORA_DICTIONARY_PATH", path, 1);
        else
            unsetenv("KALVORA_DICTIONARY_PATH");
        if (data)
            setenv("XDG_DATA_HOME", data, 1);
        else
            unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(StandardSourceFolders(), folders) << (path ? path : "unset");
    }
    const char *names[] = {"KALVORA_DICTIONARY_PATH", "HOME", "XDG_DATA_HOME"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i])
            setenv(names[i], keep[i].c_str(), 1);
        else
            unsetenv(names[i]);
    }
}

TEST(SourceDictionaryTest, GivesEveryDictionaryItsOwnStableIdAndPlace)
{
    const Dictd d = SampleDictd();
    TestFolder folder;
    folder.WriteFile("src/z.index", d.index);
    folder.WriteFile("src/z.dict", d.dict);
    folder.WriteFile("src/w.index", d.index);
    folder.WriteFile("src/w.dict", d.dict + " ");
    const std::string z = folder.Path() + "src/z.index";
    char id[16];
    std::snprintf(id, sizeof id, "%X", InstalledDictionaryId(z, 0));
    WriteDictionary(folder, {"taken", id, "EXP", "T", {{"A", "a"}}});
    for (int run = 0; run < 2; ++run) {
        Database database("", nullptr, folder.Path() + "dics");
        database.AddSources({folder.Path() + "src"});
        database.SetOrder({InstalledName(z), "taken"});
        database.Load();
        ASSERT_EQ(database.GetCount(), 3);
        EXPECT_EQ(database.GetDictionary(0)->GetSourcePath(), z);
        EXPECT_EQ(database.GetDictionary(0)->GetId(), InstalledDictionaryId(z, 1));
        EXPECT_EQ(database.GetDictionary(1)->GetFolderName(), "taken");
        EXPECT_EQ(database.GetDictionary(2)->GetId(),
            InstalledDictionaryId(folder.Path() + "src/w.index", 0));
        EXPECT_EQ(database.GetDictionary(0)->GetAttributes().shortName, "Zoo Words");
    }
    // name in the order, caption
    const std::tuple<std::string, std::string, std::string> rows[] = {
        {"/a;b%/c.index", "", "/a%3Bb%25/c.index"},
        {"/d/gcide.index", "The Collaborative International Dictionary of English v.0.48", "CIDE"},
        {"/d/wn.index", "WordNet (r) 3.0 (2006)", "WordNet"},
        {"/d/jargon.index", "The Jargon File (version 4.4.7, 29 Dec 2003)", "Jargon File"},
        {"/d/x.ifo", "", "x"},
        {"/d/y.ifo", "всё очень длинное название словаря", "всё очень длинн\u2026"},
    };
    for (const auto &[path, title, caption] : rows) {
        if (title.empty() && path.find(';') != std::string::npos)
            EXPECT_EQ(InstalledName(path), caption);
        else
            EXPECT_EQ(ButtonName(title, path), caption) << path;
    }
}

TEST(SourceDictionaryTest, FindsPhrasesInInstalledArticlesAsInConvertedOnes)
{
    // A headword whose articles lie far apart: the search reads them apart from the others.
    Dictd far = SampleDictd();
    far.Add("filler", std::string(300000, 'f') + "\n");
    far.Add("cat", "cat\n   A friend far away.\n");
    for (const Dictd &d : {SampleDictd(), far}) {
        TestFolder folder;
        folder.WriteFile("src/z.index", d.index);
        folder.WriteFile("src/z.dict.dz", Gzip(d.dict, 16));
        ASSERT_TRUE(Convert(folder, folder.Path() + "src/z.index"));
        Loaded loaded(folder, folder.Path() + "src/z.index");
        ExpectSameFinds(
            loaded, {"friend", "A SMALL", "зверёк", "zzz", "far away", "nothing like it"});
    }
    // Articles of tags are searched in the text they show, whether installed or converted.
    StarDict tags;
    tags.Add("cat", "<b>Small</b>\n<a href=\"bword://dog\">dog</a> &amp; soft", 32);
    tags.Add("dog", "<i>Loyal</i> <span class='dog'>friend</span>", 32);
    TestFolder folder;
    folder.WriteFile("src/h.ifo", tags.Ifo("2.4.2", 32, "sametypesequence=h\n"));
    folder.WriteFile("src/h.idx", tags.idx);
    folder.WriteFile("src/h.dict.dz", Gzip(tags.dict, 16));
    ASSERT_TRUE(Convert(folder, folder.Path() + "src/h.ifo"));
    Loaded loaded(folder, folder.Path() + "src/h.ifo");
    ExpectSameFinds(loaded, {"small dog", "dog & soft", "href", "class", "loyal friend"});
}

TEST(SourceDictionaryTest, SiftsInstalledArticlesByTheirBytesWithoutLosingAMatch)
{
    // Each phrase is found by the articles as the text rules make them, however far their stored
    // bytes differ: lines joined, parts joined, letters spelt beyond ASCII, broken characters.
    Dictd d;
    d.Add("bright", "bright\nBright\nred and bright\nRED\n");
    d.Add("dotless", "dotless\n   A br\xC4\xB1ght red; \xC5\xBFweet.\n");
    d.Add("cat", "Cat\n   A small animal\n   that purrs.\n");
    d.Add("cat", "cat\n   Also: a lion, in play.\n");
    // Records of one article alone on either side of a record of it and another.
    d.Add("kit", "Kit\n   A young fox.\n");
    d.Add("kit", "kit\n   A set of tools.\n");
    d.Add("akit", "Kit\n   A young fox.\n");
    d.Add("pup", "Kit\n   A young fox.\n");
    d.Add("bkit", "Kit\n   A young fox.\n");
    d.Add("bkit", "bkit\n   A grey fox.\n");
    d.Add("eclair",
        "\xC3\xA9"
        "clair\n   Un g\xC3\xA2teau, \xC3\x89"
        "CLAIR.\n");
    d.Add("zero", std::string("zero\n   a") + '\0' + "b, x\ty\n");
    d.Add("unix", "Unix\n   A system.\n");
    d.Add("long", "long\n" + std::string(99990, 'l') + " tail words\n");
    d.Add("filler", std::string(300000, 'f') + "\n");
    d.Add("cat", "cat\n   A friend far away.\n");
    Dictd broken;
    broken.Add("broken", "broken\n   \xC3red \xE9t\xE9 \xFFwine\n");
    broken.Add("plain", "plain\n   Red wine.\n");
    // Large enough to be searched in parts, each on its own thread: a headword's articles lie
    // in either part's stretch of the data file, some far apart.
    Dictd large;
    for (int i = 0; i < 6000; ++i) {
        const std::string word = "w" + std::to_string(i * 7919 % 6000);
        large.Add(word,
            word + "\n   " + std::string(400, 'x') + (i % 97 == 0 ? " bright red" : "") + " number "
                + std::to_string(i) + ".\n");
        if (i % 1000 == 0)
            large.Add("w" + std::to_string((i + 3000) % 6000), "another red " + word + "\n");
    }
    // Long articles of many lines, the phrase early in them: their text is made only in part.
    Dictd lines;
    std::string filler;
    for (int i = 0; i < 60; ++i)
        filler += "   more words here, line " + std::to_string(i) + " \n";
    lines.Add("lead", "lead\n   Lead opens it.\n" + filler);
    lines.Add("solo",
        "solo\n   solo words " + std::string(100, 's') + "  \n" + std::string(400, '\n')
            + "   \n end line\n");
    lines.Add("fox", "fox\n   a fox is here\n" + filler + "fox tail\n");
    lines.Add("crlf", "crlf\r\n   with carriage\r\n\r\n\r\n" + filler + "\r\n");
    lines.Add("nul", std::string("nul\n   a\0b early\n") + filler);
    lines.Add(
        "trim", "trim\n   alone here " + std::string(100, 't') + "\n" + std::string(300, '\n'));
    lines.Add("near", "near\n" + filler.substr(0, 200) + "   close to the end\n   more\n");
    // Blank lines the rules drop leave the first try's text short of the excerpt.
    lines.Add("gap",
        "gap\n   gap words and a few more of them\n" + std::string(400, '\n') + "   and after\n");
    std::string cut = "cut\n";
    for (int i = 0; cut.size() < 110000; ++i)
        cut += (i == 3 ? "   marker " : "   ") + std::string(90, 'c') + " cutword\n";
    lines.Add("cut", cut);
    StarDict star;
    star.Add("cat", std::string("h<b>Sm</b>all &amp; soft") + '\0', 32);
    star.Add("owl", std::string("mHoots.") + '\0', 32);
    star.Add("ox", std::string("h&#87;ide horns") + '\0', 32);
    using Files = std::vector<std::pair<std::string, std::string>>;
    const std::tuple<const char *, Files, std::string, std::vector<std::string>> rows[] = {
        {"dictd, UTF-8", {{"z.index", d.index}, {"z.dict.dz", Gzip(d.dict, 4096)}}, "z.index",
            {"bright red", "BRIGHT", "red and", "sweet", "purrs. | also", "|", "young fox",
                "grey fox",
                "\xC3\xA9"
                "clair",
                "clair", "a b", "x\ty", "unix", "tail words", "far away", "lion"}},
        {"dictd, in parts", {{"l.index", large.index}, {"l.dict.dz", Gzip(large.dict, 4096)}},
            "l.index", {"bright red", "red", "number", "number 5999.", "w42"}},
        {"dictd, made in part", {{"m.index", lines.index}, {"m.dict.dz", Gzip(lines.dict, 4096)}},
            "m.index",
            {"opens", "lead opens", "solo words", "end line", "marker", "cutword", "carriage",
                "fox", "fox tail", "a b", "more words", "line 59", "close to the end", "alone here",
                "e", "gap words"}},
        {"dictd, not UTF-8", {{"b.index", broken.index}, {"b.dict", broken.dict}}, "b.index",
            {"red", "\xD0\xB3red", "wine", "\xD1\x8Fwine"}},
        {"StarDict, markup",
            {{"s.ifo", star.Ifo("2.4.2", 32)}, {"s.idx", star.idx}, {"s.dict", star.dict}}, "s.ifo",
            {"small", "& soft", "hoots", "wide horns"}},
    };
    for (const auto &[name, files, source, phrases] : rows) {
        TestFolder folder;
        for (const auto &[file, bytes] : files)
            folder.WriteFile("src/" + file, bytes);
        ASSERT_TRUE(Convert(folder, folder.Path() + "src/" + source)) << name;
        Loaded loaded(folder, folder.Path() + "src/" + source);
        ExpectSameFinds(loaded, phrases, name);
    }
    // Either line end, a CR alone too, parts the lines that a phrase is found across.
    Dictd ends;
    ends.Add("ends", "ends\r\none\rtwo\r\nthree\nfour\n");
    TestFolder folder;
    folder.WriteFile("src/e.index", ends.index);
    folder.WriteFile("src/e.dict", ends.dict);
    Database direct("", nullptr, folder.Path() + "none");
    direct.AddSources({folder.Path() + "src/e.index"});
    direct.Load();
    ArticleSearch search(direct, "one two three four");
    std::size_t found = 0;
    const std::atomic<bool> cancel{false};
    search.Run([&found](ArticleMatches &&matches) { found += matches.Size(); }, cancel);
    EXPECT_EQ(found, 1U);
}

TEST(SourceDictionaryTest, KeepsItsHeadwordsSpellingsOnceEveryOneIsSettled)
{
    // An index in ASCII alone: each headword's spelling is settled from its article when asked.
    Dictd d;
    d.Add("cat", "Cat\n   An animal.\n");
    d.Add("dog", "dog\n   Barks.\n");
    d.Add("unix", "Unix\n   A system.\n");
    // The spellings kept last in the cache, before its hash: what a change does to them.
    const auto Resealed = [](std::string &bytes, std::size_t back, char byte) {
        bytes[bytes.size() - 8 - back] = byte;
        const std::uint64_t hash = XXH3_64bits(bytes.data(), bytes.size() - 8);
        std::memcpy(&bytes[bytes.size() - 8], &hash, 8);
    };
    // how many headwords the first run asks for, what is done to the cache then, what the next
    // run spells after the data file is written over in place with its stamp kept: the
    // spellings kept, or those read again
    const std::tuple<std::uint32_t, std::function<void(std::string &)>, const char *> rows[] = {
        {3, [](std::string &) {}, "Cat dog Unix "},
        {2, [](std::string &) {}, "Cat dog UniX "},
        // "Cat", "Unix", each with its zero byte, after the records' places in them
        {3, [&](std::string &bytes) { Resealed(bytes, 9 + 1, 100); }, "Cat dog UniX "},
        {3, [&](std::string &bytes) { Resealed(bytes, 1, 'x'); }, "Cat dog UniX "},
        // Unix's place one past the spellings' end (its lowest byte, 2 + 8 before)
        {3, [&](std::string &bytes) { Resealed(bytes, 9 + 8, 2 + 9); }, "Cat dog UniX "},
        // the places of two records, the header saying so: its counts end with theirs, their
        // words' and the spellings'
        {3,
            [&](std::string &bytes) {
                std::uint64_t headerLength = 0;
                std::memcpy(&headerLength, &bytes[23], 8);
                bytes[31 + headerLength - 24] = 2;
                bytes.erase(bytes.size() - 8 - 9 - 24, 8);
                Resealed(bytes, 1, '\0');
            },
            "Cat dog UniX "},
    };
    for (const auto &[asked, change, expected] : rows) {
        TestFolder folder;
        folder.WriteFile("src/a.index", d.index);
        folder.WriteFile("src/a.dict", d.dict);
        const std::string source = folder.Path() + "src/a.index";
        const auto Spelled = [&](std::uint32_t count) {
            SourceDictionary dictionary;
            std::string error;
            EXPECT_TRUE(dictionary.Open(source, error, folder.Path() + "cache")) << error;
            DictionaryIndex index;
            dictionary.LoadIndex(index);
            std::string words;
            for (std::uint32_t i = 0; i < count; ++i)
                words += dictionary.Headword(i, index.GetWord(i)) + " ";
            return words;
        };
        Spelled(asked);
        const std::string cache =
            SourceCachePath(folder.Path() + "cache", source).substr(folder.Path().size());
        std::string bytes = folder.ReadFile(cache);
        change(bytes);
        folder.WriteFile(cache, bytes);
        struct stat before;
        ASSERT_EQ(stat((source.substr(0, source.size() - 6) + ".dict").c_str(), &before), 0);
        std::string changed = d.dict;
        changed.replace(changed.find("Unix"), 4, "UniX");
        std::ofstream(folder.Path() + "src/a.dict", std::ios::binary | std::ios::in) << changed;
        const timespec times[] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, (folder.Path() + "src/a.dict").c_str(), times, 0), 0);
        EXPECT_EQ(Spelled(3), expected) << asked;
    }
}

TEST(SourceDictionaryTest, KeepsWhatItReadBetweenRunsButNeverTrustsADamagedCopy)
{
    const Dictd d = SampleDictd();
    TestFolder folder;
    folder.WriteFile("src/z.index", d.index);
    folder.WriteFile("src/z.dict", d.dict);
    const std::string source = folder.Path() + "src/z.index";
    const std::string cacheFolder = folder.Path() + "cache";
    const std::string cache = SourceCachePath(cacheFolder, source);
    const auto Read = [&](bool &fromCache) {
        SourceDictionary dictionary;
        std::string error;
        std::string all;
        EXPECT_TRUE(dictionary.Open(source, error, cacheFolder)) << error;
        fromCache = dictionary.FromCache();
        DictionaryIndex index;
        dictionary.LoadIndex(index);
        for (std::uint32_t i = 0; i < index.GetWordCount(); ++i)
            all += index.GetWord(i) + "\t" + std::to_string(index.GetOffset(i)) + "\n";
        for (std::uint32_t i = 0; i < dictionary.RecordCount(); ++i) {
            std::string text;
            dictionary.Article(i, text, error);
            all += dictionary.Headword(i, index.GetWord(i)) + " " + text + "\n";
        }
        return all;
    };
    bool fromCache = true;
    const std::string expected = Read(fromCache);
    EXPECT_FALSE(fromCache);
    // A change to the cache that its hash does not catch, the hash being made again:
    // only the structure tells it. change gets the bytes and where each array starts.
    struct Layout
    {
        std::size_t places, parts, partStart, headwords, starts;
        std::size_t articles; // how many places there are
    };
    const auto Resealed = [&](const std::function<void(std::string &, const Layout &)> &change,
                              bool reseal = true) {
        return [&, change, reseal] {
            const std::string name = "cache/sources/" + cache.substr(cache.rfind('/') + 1);
            std::string bytes = folder.ReadFile(name);
            const auto Number = [&bytes](std::size_t at) {
                std::uint64_t value = 0;
                std::memcpy(&value, bytes.data() + at, 8);
                return static_cast<std::size_t>(value);
            };
            // Magic, header length, header; the header ends with the counts. Each array of
            // numbers is held packed: its full runs, their words, then the rest as they are.
            const std::size_t counts = 31 + Number(23) - 96;
            const auto Packed = [&](std::size_t count, std::size_t words) {
                return count / 128 * 16 + Number(words) * 8 + count % 128 * 8;
            };
            const std::size_t places = Number(counts);
            Layout at{};
            at.places = 31 + Number(23);
            at.articles = places;
            at.parts = at.places + Packed(places, counts + 16)
                + Packed(places == 0 ? 0 : places - 1, counts + 24);
            at.partStart = at.parts + Packed(Number(counts + 32), counts + 40);
            at.headwords = at.partStart + Packed(Number(counts + 48) + 1, counts + 56);
            at.starts = at.headwords + Number(counts + 64);
            change(bytes, at);
            if (!reseal) {
                folder.WriteFile(name, bytes);
                return;
            }
            const std::uint64_t hash = XXH3_64bits(bytes.data(), bytes.size() - 8);
            std::memcpy(&bytes[bytes.size() - 8], &hash, 8);
            folder.WriteFile(name, bytes);
        };
    };
    const auto Put = [](std::string &bytes, std::size_t at, auto value) {
        std::memcpy(&bytes[at], &value, sizeof value);
    };
    // A part's article as it is held: twice the number less twice the part's, above 2 to the 33.
    constexpr std::uint64_t ABOVE_PARTS = std::uint64_t{1} << 33;
    // what is done to the files before the next read, whether the cache serves it
    const std::tuple<const char *, std::function<void()>, bool> rows[] = {
        {"a headword's byte changed",
            Resealed([](std::string &bytes, const Layout &at) { bytes[at.headwords] ^= 1; }, false),
            false},
        {"a byte past its hash",
            [&] {
                const std::string name = "cache/sources/" + cache.substr(cache.rfind('/') + 1);
                folder.WriteFile(name, folder.ReadFile(name) + "x");
            },
            false},
        {"a cache of the version before",
            Resealed([](std::string &bytes, const Layout &) { bytes[21] = '4'; }), false},
        {"a part naming an article past the last",
            Resealed([&](std::string &bytes, const Layout &at) {
                Put(bytes, at.parts, ABOVE_PARTS + 2 * 1000);
            }),
            false},
        {"a part naming the article just past the last",
            Resealed([&](std::string &bytes, const Layout &at) {
                Put(bytes, at.parts, ABOVE_PARTS + 2 * at.articles);
            }),
            false},
        {"a part naming an article below the first",
            Resealed([&](std::string &bytes, const Layout &at) {
                Put(bytes, at.parts, std::uint64_t{0});
            }),
            false},
        {"records' parts out of order", Resealed([&](std::string &bytes, const Layout &at) {
             Put(bytes, at.partStart + 8, UINT64_MAX);
         }),
            false},
        {"an article past the end of the data", Resealed([&](std::string &bytes, const Layout &at) {
             Put(bytes, at.places, std::uint64_t{0xFFFFFF00u});
         }),
            false},
        {"the last record's parts running past the parts",
            Resealed([&](std::string &bytes, const Layout &at) {
                std::uint64_t end = 0;
                std::memcpy(&end, &bytes[at.headwords - 8], 8);
                Put(bytes, at.headwords - 8, end + 1);
            }),
            false},
        {"a headword starting past the headwords",
            Resealed([&](std::string &bytes, const Layout &) {
                Put(bytes, bytes.size() - 12, std::uint32_t{100000});
            }),
            false},
        {"a headword without its zero byte",
            Resealed([](std::string &bytes, const Layout &at) { bytes[at.starts - 1] = 'x'; }),
            false},
        {"unchanged", [] {}, true},
        {"damaged byte",
            [&] {
                std::string bytes =
                    folder.ReadFile("cache/sources/" + cache.substr(cache.rfind('/') + 1));
                bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 1);
                folder.WriteFile(cache.substr(folder.Path().size()), bytes);
            },
            false},
        {"rebuilt after the damage", [] {}, true},
        {"cut short", [&] { ASSERT_EQ(truncate(cache.c_str(), 40), 0); }, false},
        {"removed", [&] { std::remove(cache.c_str()); }, false},
        {"data file changed", [&] { folder.WriteFile("src/z.dict", d.dict + " "); }, false},
        {"again unchanged", [] {}, true},
    };
    for (const auto &[name, change, cached] : rows) {
        change();
        EXPECT_EQ(Read(fromCache), expected) << name;
        EXPECT_EQ(fromCache, cached) << name;
    }
    // A fresh account has no cache folder at all: every folder on the way is made.
    for (const bool cached : {false, true}) {
        SourceDictionary dictionary;
        std::string error;
        ASSERT_TRUE(dictionary.Open(source, error, folder.Path() + "fresh/.cache/kalvora"))
            << error;
        EXPECT_EQ(dictionary.FromCache(), cached);
    }
    // Which markup the articles carry is settled from the source, cached records or not.
    StarDict tags;
    tags.Add("cat", std::string("h<b>Small</b>") + '\0', 32);
    folder.WriteFile("src/h.ifo", tags.Ifo("2.4.2", 32));
    folder.WriteFile("src/h.idx", tags.idx);
    folder.WriteFile("src/h.dict", tags.dict);
    for (const bool cached : {false, true}) {
        SourceDictionary dictionary;
        std::string error;
        ASSERT_TRUE(dictionary.Open(folder.Path() + "src/h.ifo", error, cacheFolder)) << error;
        EXPECT_EQ(dictionary.FromCache(), cached);
        EXPECT_EQ(dictionary.Markup(), ArticleMarkup::Html) << cached;
    }
}
