// The search window on a folder of dictionaries: how soon the first results show, how long the
// whole search takes, and resident memory before a search, after a search matching most records
// and after the window is closed; how soon Escape is handled during a search.
//
// usage: Text_search_bench DICS_FOLDER [PHRASE...]   (QT_QPA_PLATFORM=offscreen is set here)
//
// With --sources, the installed dictionaries named (dictd .index or StarDict .ifo files) are
// searched for each phrase with their articles sifted by their source text and with every article
// made: the records, positions and excerpts must agree. Prints both times; exits 1 on a
// difference.
//
// usage: Text_search_bench --sources SOURCE... -- PHRASE...

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeView>

#include "storage/Article_search.h"
#include "storage/Database.h"
#include "ui/Form_search.h"

namespace {

// Resident memory of this process in megabytes, as /proc reports it.
double ResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

struct Timing
{
    double firstRows = -1; // milliseconds, -1 when nothing was found
    double finished = 0;
    std::size_t rows = 0;
};

Timing Search(TSearchForm &form, const QString &phrase)
{
    QLineEdit *edit = form.findChild<QLineEdit *>("PhraseEdit");
    QAbstractItemModel *model = form.findChild<QTreeView *>("ResultList")->model();
    Timing timing;
    QElapsedTimer clock;
    const auto connection = QObject::connect(model, &QAbstractItemModel::rowsInserted, [&] {
        if (timing.firstRows < 0)
            timing.firstRows = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    });
    QSignalSpy finished(&form, &TSearchForm::searchFinished);
    edit->setText(phrase);
    clock.start();
    form.FindButtonClick();
    finished.wait(600000);
    timing.finished = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    timing.rows = form.ResultCount();
    QObject::disconnect(connection);
    return timing;
}

// Milliseconds the window takes to handle Escape 50 ms into a search for phrase.
double EscapeLatency(TSearchForm &form, const QString &phrase)
{
    form.findChild<QLineEdit *>("PhraseEdit")->setText(phrase);
    form.FindButtonClick();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 50)
        QApplication::processEvents();
    clock.restart();
    form.FormKeyPress(Qt::Key_Escape);
    const double taken = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    form.FormClose();
    form.show();
    return taken;
}

// Every match of phrase in the database, one line each, and the milliseconds the search took.
std::vector<std::string> Matches(
    const Database &database, const std::string &phrase, bool sifted, double &milliseconds)
{
    std::vector<std::string> lines;
    ArticleSearch search(database, phrase);
    search.SetSourcePrefilter(sifted);
    const std::atomic<bool> cancel{false};
    const auto start = std::chrono::steady_clock::now();
    search.Run(
        [&lines](ArticleMatches &&matches) {
            for (std::size_t i = 0; i < matches.Size(); ++i)
                lines.push_back(std::to_string(matches.DicId()) + ' '
                    + std::to_string(matches.Index(i)) + ' ' + std::to_string(matches.Position(i))
                    + ' ' + std::string(matches.Excerpt(i)));
        },
        cancel);
    milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return lines;
}

int CompareSifting(int argc, char **argv)
{
    std::vector<std::string> sources;
    int i = 2;
    for (; i < argc && std::string(argv[i]) != "--"; ++i)
        sources.emplace_back(argv[i]);
    Database database("", nullptr, "");
    database.AddSources(sources);
    database.Load();
    std::printf("%d installed dictionaries\n", static_cast<int>(database.GetCount()));
    std::printf("%-16s %9s %10s %10s  %s\n", "phrase", "matches", "sifted ms", "all ms", "agree");
    bool agree = true;
    for (++i; i < argc; ++i) {
        double sifted = 0;
        double all = 0;
        const std::vector<std::string> a = Matches(database, argv[i], true, sifted);
        const std::vector<std::string> b = Matches(database, argv[i], false, all);
        agree = agree && a == b;
        std::printf("%-16s %9zu %10.0f %10.0f  %s\n", argv[i], b.size(), sifted, all,
            a == b ? "yes" : "NO");
    }
    return agree ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::string(argv[1]) == "--sources")
        return CompareSifting(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: Text_search_bench DICS_FOLDER [PHRASE...]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    Database database("", nullptr, argv[1]);
    database.Load();
    std::uint64_t records = 0;
    for (std::int32_t i = 0; i < database.GetCount(); ++i)
        records += database.GetDictionary(i)->GetWordCount();
    std::printf("%d dictionaries, %llu records\n", static_cast<int>(database.GetCount()),
        static_cast<unsigned long long>(records));

    TSearchForm form(&database, nullptr);
    form.show();
    QApplication::processEvents();

    // Memory first, before any search has left freed blocks with the allocator.
    const double before = ResidentMegabytes();
    const Timing all = Search(form, QStringLiteral("a"));
    // The rows as the list shows them, so that whatever the view keeps for them is counted.
    form.findChild<QTreeView *>("ResultList")->scrollToBottom();
    QApplication::processEvents();
    const double after = ResidentMegabytes();
    form.close();
    QApplication::processEvents();
    const double closed = ResidentMegabytes();
    std::printf("\"a\": %zu results in %.0f ms; resident memory before %.1f MB, after %.1f MB "
                "(%.2fx), window closed %.1f MB\n",
        all.rows, all.finished, before, after, after / before, closed);

    form.show();
    QStringList phrases;
    for (int i = 2; i < argc; ++i)
        phrases << QString::fromLocal8Bit(argv[i]);
    if (phrases.isEmpty())
        phrases << "the"
                << "common word"
                << "zymurgy";
    std::printf("%-16s %10s %14s %12s\n", "phrase", "results", "first rows ms", "all ms");
    for (const QString &phrase : phrases)
        for (int round = 0; round < 3; ++round) {
            const Timing timing = Search(form, phrase);
            std::printf("%-16s %10zu %14.1f %12.1f\n", phrase.toUtf8().constData(), timing.rows,
                timing.firstRows, timing.finished);
        }
    for (const QString &phrase : phrases)
        std::printf("%-16s Escape 50 ms into the search handled in %.2f ms\n",
            phrase.toUtf8().constData(), EscapeLatency(form, phrase));
    return 0;
}
