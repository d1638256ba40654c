// The quick look from the command line: from starting "kalvora --popup" until the running
// window has painted the popup, against the same program started for --version only (its own
// start, which the popup cannot go below). This process is the running window: it owns the
// session's name, the popup and the selected text. Needs an X display and a session bus.
//
// usage: Popup_bench KALVORA DICS_PROGRAM_FOLDER [ROUNDS]
//   e.g. tools/virtual-display dbus-run-session -- build/bin/Popup_bench build/bin/kalvora
//   build/bin/

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include "platform/Popup_request.h"
#include "platform/Running_window.h"
#include "storage/Database.h"
#include "ui/Form_popup.h"

namespace {

constexpr int TIMEOUT_MS = 10000;
constexpr double TARGET_MS = 100;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Milliseconds from starting the program until done fires; -1 when it never does.
template <typename Signal, typename Sender>
double TimeUntil(const QString &program, const QStringList &arguments, Sender *sender, Signal done)
{
    QEventLoop loop;
    QProcess process;
    bool finished = false;
    const auto connection = QObject::connect(sender, done, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(TIMEOUT_MS, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!finished)
        loop.exec();
    const double milliseconds = timer.nsecsElapsed() / 1e6;
    QObject::disconnect(connection);
    process.waitForFinished(TIMEOUT_MS);
    return finished ? milliseconds : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: Popup_bench KALVORA DICS_PROGRAM_FOLDER [ROUNDS]\n");
        return 2;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    RunningWindow runningWindow;
    if (runningWindow.Claim(QString()) != RunningWindow::Start::First) {
        std::fprintf(stderr, "Popup_bench: no session bus, or a Kalvora window already runs\n");
        return 1;
    }
    PopupRequest requests;
    requests.Listen();
    Database database(argv[2], nullptr);
    database.Load();
    TPopupForm popup(&database, [](const QString &) {});
    requests.SetHandler([&] {
        popup.ShowWord(QApplication::clipboard()->text(QClipboard::Selection), QPoint(200, 200));
    });
    QApplication::clipboard()->setText(QStringLiteral("дом"), QClipboard::Selection);

    std::vector<double> shown;
    std::vector<double> floor;
    for (int round = 0; round < rounds; ++round) {
        const double popupTime =
            TimeUntil(program, {QStringLiteral("--popup")}, &popup, &TPopupForm::painted);
        popup.close();
        QCoreApplication::processEvents();
        QProcess version;
        QElapsedTimer timer;
        timer.start();
        version.start(program, {QStringLiteral("--version")});
        version.waitForFinished(TIMEOUT_MS);
        floor.push_back(timer.nsecsElapsed() / 1e6);
        if (popupTime < 0) {
            std::fprintf(stderr, "Popup_bench: the popup was not painted in %d ms\n", TIMEOUT_MS);
            return 1;
        }
        shown.push_back(popupTime);
    }
    const double popupMedian = Median(shown);
    const double floorMedian = Median(floor);
    std::printf("popup painted after kalvora --popup: median %.1f ms (target %.0f ms: %s)\n",
        popupMedian, TARGET_MS, popupMedian <= TARGET_MS ? "met" : "missed");
    std::printf("floor, kalvora --version: median %.1f ms\n", floorMedian);
    std::printf("ratio popup/floor: %.2f over %d rounds\n", popupMedian / floorMedian, rounds);
    return 0;
}
