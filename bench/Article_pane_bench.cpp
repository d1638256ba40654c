// The article pane on a word that five dictionaries hold, each article 20 KB of wrapped dictd
// text with links: the word shown with the other dictionaries' articles against the same word
// shown alone, as every article was before, side by side in one run.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include "ui/Article_pane.h"
#include "ui/Form_main.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

void WriteFile(const fs::path &path, const std::string &bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Utf16le(const std::string &ascii)
{
    std::string bytes;
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// About 20 KB: numbered senses of hard-wrapped lines, a link and a pronunciation in each.
std::string Article(int dictionary)
{
    const std::string ls = "\xE2\x80\xA8";
    std::string text;
    for (int sense = 1; text.size() < 20000; ++sense) {
        text += "   " + std::to_string(sense) + ". Sense " + std::to_string(dictionary)
            + " of the word, see {house} and \\haus\\; -- generally" + ls;
        for (int line = 0; line < 4; ++line)
            text += "      applied to the undressed skins of the larger domestic animals," + ls;
        text += ls;
    }
    return text;
}

void WriteDictionaries(const fs::path &folder)
{
    for (int d = 1; d <= 5; ++d) {
        const std::string name = "d" + std::to_string(d);
        const fs::path base = folder / "dics" / name / name;
        WriteFile(base.string() + ".inf",
            Utf16le("FORMAT_VERSION=1.0\r\nENCODING=UTF-8\r\nDIC_ID=" + std::to_string(d)
                + "\r\nCATEGORY=EXP\r\nSHORT_NAME=D" + std::to_string(d)
                + "\r\nLONG_NAME=Dictionary " + std::to_string(d) + "\r\nMARKUP=dictd\r\n"));
        WriteFile(base.string() + ".idx", "HIDE\t0\n");
        WriteFile(base.string() + ".dat", Article(d) + "\n");
    }
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.core.qobject.connect=false");
    QApplication application(argc, argv);
    const fs::path folder =
        fs::temp_directory_path() / ("kalvora-pane-bench-" + std::to_string(getpid()));
    WriteDictionaries(folder);
    std::vector<double> alone;
    std::vector<double> all;
    std::vector<double> everyDrawn;
    {
        TForm1 form(folder.string() + "/");
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            return 1;
        auto *edit = form.findChild<QComboBox *>("WordInput")->lineEdit();
        auto *pane = form.findChild<TArticlePane *>("RichEdit1");
        const auto show = [&](bool allDictionaries, bool drawEvery) {
            form.SaveArticleSettings(allDictionaries);
            edit->setText(QStringLiteral("hide"));
            const Clock::time_point start = Clock::now();
            form.FindButtonClick();
            QCoreApplication::processEvents();
            if (drawEvery)
                pane->GoToArticle(pane->ArticleCount() - 1);
            pane->viewport()->repaint();
            return std::chrono::duration<double>(Clock::now() - start).count();
        };
        for (int round = 0; round < 40; ++round) {
            alone.push_back(show(false, false));
            all.push_back(show(true, false));
            everyDrawn.push_back(show(true, true));
        }
        if (pane->ArticleCount() != 5)
            std::printf("expected five articles, found %d\n", pane->ArticleCount());
    }
    fs::remove_all(folder);
    const double floor = Median(alone);
    std::printf("first article alone (as before): median %.2f ms\n", floor * 1e3);
    std::printf(
        "with the other four dictionaries' articles: median %.2f ms: %.2fx (target <= 2x) %s\n",
        Median(all) * 1e3, Median(all) / floor, Median(all) <= 2 * floor ? "met" : "MISSED");
    std::printf("every article drawn at once (Alt+Down to the last): median %.2f ms: %.2fx\n",
        Median(everyDrawn) * 1e3, Median(everyDrawn) / floor);
    return 0;
}
