#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextEdit>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "storage/Database.h"
#include "support/Code_page.h"
#include "support/Log_file.h"
#include "support/Utils.h"
#include "ui/Form_main.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer keeps freed blocks in quarantine, so resident memory says nothing there;
// LeakSanitizer checks the same runs for leaks instead.
constexpr bool MEASURES_MEMORY = false;
#else
constexpr bool MEASURES_MEMORY = true;
#endif

constexpr long MAX_GROWTH_BYTES = 1 << 20;

long ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// Capital Cyrillic letters and a few Latin ones, so that blocks of many sizes come about.
std::string RandomWord(std::mt19937 &random)
{
    static const std::string letters =
        "\xC0\xC1\xC2\xC4\xC5\xC8\xCA\xCB\xCC\xCD\xCE\xCF\xD0\xD1\xD2"
        "\xD3\xDF"
        "ABZ";
    std::uniform_int_distribution<std::size_t> length(1, 9);
    std::uniform_int_distribution<std::size_t> letter(0, letters.size() - 1);
    std::string word;
    for (std::size_t i = length(random); i > 0; --i)
        word += letters[letter(random)];
    return word;
}

std::vector<FixtureEntry> SortedEntries(std::mt19937 &random, std::size_t count)
{
    std::set<std::string, std::less<>> words;
    while (words.size() < count)
        words.insert(RandomWord(random));
    std::vector<FixtureEntry> entries;
    for (const std::string &word : words)
        entries.emplace_back(word, "article of " + word + (entries.size() % 7 ? "" : "\r"));
    // Unsigned byte order, as a real index is sorted.
    std::sort(entries.begin(), entries.end(), [](const FixtureEntry &a, const FixtureEntry &b) {
        return std::lexicographical_compare(
            a.first.begin(), a.first.end(), b.first.begin(), b.first.end(), [](char x, char y) {
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
            });
    });
    return entries;
}

class SoakTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = new TestFolder;
        std::mt19937 random(1);
        WriteDictionary(*folder, {"first", "51", "EXP", "one", SortedEntries(random, 3000)});
        WriteDictionary(*folder, {"second", "52", "ENC", "two", SortedEntries(random, 2000)});
        WriteDictionary(*folder, {"third", "53", "TERM", "three", SortedEntries(random, 500)});
    }
    static void TearDownTestSuite()
    {
        delete folder;
        folder = nullptr;
    }

    static TestFolder *folder;
};

TestFolder *SoakTest::folder = nullptr;

// One step of a user's session as the core sees it: a search, the word list refilled around
// its result, or an article read; the text returned stands for everything the step answered.
std::string Step(const Database &database, std::mt19937 &random)
{
    const std::uint32_t ids[] = {0, 0x51, 0x52, 0x53, 0x99};
    std::uniform_int_distribution<int> kind(0, 2);
    std::uniform_int_distribution<std::size_t> pickId(0, std::size(ids) - 1);
    std::string query = RandomWord(random);
    // A small letter that the search must upper-case.
    if (random() % 3 == 0)
        query += "\xE0";
    std::string answer;
    switch (kind(random)) {
    case 0: {
        WordPosition position;
        std::int32_t matched = -2;
        const bool found = database.Find(ids[pickId(random)], query, position, &matched);
        answer = std::to_string(found) + " " + std::to_string(position.dicId) + " "
            + std::to_string(position.index) + " " + std::to_string(matched);
        break;
    }
    case 1: {
        WordPosition position;
        if (!database.Find(0, query, position))
            break;
        const Dictionary *dictionary = database.FindById(position.dicId);
        const std::int32_t first = std::max(0, position.index - 10);
        const auto last = std::min<std::int32_t>(
            first + 200, static_cast<std::int32_t>(dictionary->GetWordCount()));
        for (std::int32_t i = first; i < last; ++i)
            answer += dictionary->GetWord(i) + "\n";
        break;
    }
    default: {
        const WordPosition position{
            ids[pickId(random)], static_cast<std::int32_t>(random() % 3100)};
        answer = database.GetWord(position) + " " + database.GetArticle(position);
        break;
    }
    }
    return answer;
}

} // namespace

TEST_F(SoakTest, ManyLookupsKeepMemoryAndAnswerAsAFreshDatabase)
{
    constexpr int STEPS = 100000;
    constexpr int WARM_UP = 10000;
    constexpr int FRESH_EVERY = 20000;
    Database database(folder->Path(), nullptr);
    database.Load();
    ASSERT_EQ(database.GetCount(), 3);

    std::mt19937 random(2);
    long warm = 0;
    int compared = 0;
    std::unique_ptr<Database> fresh;
    for (int step = 0; step < STEPS; ++step) {
        if (step == WARM_UP)
            warm = ResidentBytes();
        if (step % FRESH_EVERY == 0) {
            fresh.reset();
            fresh = std::make_unique<Database>(folder->Path(), nullptr);
            fresh->Load();
        }
        std::mt19937 again = random;
        const std::string answer = Step(database, random);
        // Every tenth step is asked again of a database that has answered little so far.
        if (step % 10 == 0) {
            ASSERT_EQ(Step(*fresh, again), answer) << "step " << step;
            ++compared;
        }
    }
    EXPECT_EQ(compared, STEPS / 10);
    if (MEASURES_MEMORY) {
        const long growth = ResidentBytes() - warm;
        RecordProperty("resident_growth_bytes", static_cast<int>(growth));
        EXPECT_LT(growth, MAX_GROWTH_BYTES);
    }
}

TEST_F(SoakTest, ThousandsOfKeyPressesInTheWindow)
{
    constexpr int PRESSES = 5000;
    constexpr int WARM_UP = 1000;
    TForm1::showErrorMessage = [](QWidget *, const QString &) {};
    TForm1 form(folder->Path());
    ASSERT_FALSE(form.Terminated());
    form.show();
    QComboBox *input = form.findChild<QComboBox *>("WordInput");
    QTextEdit *article = form.findChild<QTextEdit *>("RichEdit1");
    Database fresh(folder->Path(), nullptr);
    fresh.Load();

    // Small letters of the dictionaries' alphabet, as the keyboard sends them.
    const QString letters =
        QString::fromStdU16String(AnsiToUtf16("\xE0\xE1\xE2\xE4\xE5\xE8\xEA\xEB"
                                              "\xEC\xED\xEE\xEF\xF0\xF1\xF2\xF3\xFF"
                                              "abz"));
    std::mt19937 random(3);
    long warm = 0;
    int shown = 0;
    for (int press = 0; press < PRESSES; ++press) {
        if (press == WARM_UP)
            warm = ResidentBytes();
        const unsigned choice = random() % 20;
        if (choice < 15) {
            const QString text(letters[static_cast<int>(random() % letters.size())]);
            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, text);
            QApplication::sendEvent(input, &key);
        } else if (choice < 19) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
            QApplication::sendEvent(input, &key);
        } else {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(input, &key);
            const WordPosition current = form.CurrentWord();
            const std::string expected = current.IsNone()
                ? AnsiToUtf8("\xCD\xE5 \xED\xE0\xE9\xE4\xE5\xED\xEE")
                : fresh.GetWord(current) + " " + fresh.GetArticle(current);
            ASSERT_EQ(article->toPlainText().toStdString(), expected) << "press " << press;
            ++shown;
        }
        if (press % 100 == 0)
            QApplication::processEvents();
    }
    EXPECT_GT(shown, 100);
    if (MEASURES_MEMORY) {
        const long growth = ResidentBytes() - warm;
        RecordProperty("resident_growth_bytes", static_cast<int>(growth));
        EXPECT_LT(growth, MAX_GROWTH_BYTES);
    }
    form.close();
}

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
