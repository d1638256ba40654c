#include <exception>
#include <future>
#include <iostream>
#include <memory>
#include <system_error>
#include <utility>

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include "platform/Popup_request.h"
#include "platform/Running_window.h"
#include "platform/Selected_text.h"
#include "platform/Startup_notice.h"
#include "ui/Application_setup.h"
#include "ui/Command_line.h"
#include "ui/Form_about.h"
#include "ui/Form_dics.h"
#include "ui/Form_main.h"
#include "ui/Form_popup.h"
#include "ui/Form_search.h"
#include "ui/Form_settings.h"
#include "ui/Program_paths.h"
#include "ui/Startup_load.h"

namespace {

constexpr int EXIT_USAGE = 2;
constexpr int EXIT_NOT_HANDED_OVER = 1;
constexpr int EXIT_NO_DICTIONARY = 1;

// A dialog is built when it is first opened, so start-up pays for the main window alone; it then
// lives, keeping its state between showings, until the program ends.
template <typename Dialog, typename... Arguments>
Dialog *OpenedOnce(std::unique_ptr<Dialog> &dialog, Arguments &&...arguments)
{
    if (!dialog)
        dialog = std::make_unique<Dialog>(std::forward<Arguments>(arguments)...);
    return dialog.get();
}

// A global that names the dialog for as long as it lives.
template <typename Dialog> Dialog *Named(Dialog *dialog, Dialog *&global)
{
    global = dialog;
    return dialog;
}

} // namespace

int main(int argc, char *argv[])
{
    const CommandLine commandLine = ParseCommandLine(argc, argv);
    switch (commandLine.action) {
    case CommandLine::Action::Help:
        std::cout << WindowHelp();
        return 0;
    case CommandLine::Action::Version:
        std::cout << "kalvora " KALVORA_VERSION "\n";
        return 0;
    case CommandLine::Action::Error:
        std::cerr << "kalvora: " << commandLine.error << '\n'
                  << WindowUsage() << "Try 'kalvora --help' for more information.\n";
        return EXIT_USAGE;
    case CommandLine::Action::Window:
        break;
    }

    const std::string startupId = StartupId();
    // The words are the program's own: Qt must not take one for one of its options.
    int qtArgc = 1;
    if (commandLine.popup) {
        // Straight to the running window, which has its dictionaries loaded and reads the
        // selection itself: the quick look waits for no display connection of this process.
        QString error;
        PopupRequest::HandOver handOver;
        {
            QCoreApplication bare(qtArgc, argv);
            handOver = PopupRequest::Send(error);
        }
        switch (handOver) {
        case PopupRequest::HandOver::Shown:
            EndStartupNotice(startupId);
            return 0;
        case PopupRequest::HandOver::Failed:
            std::cerr << "kalvora: the running Kalvora did not answer: "
                      << error.toLocal8Bit().constData() << '\n';
            return EXIT_NOT_HANDED_OVER;
        case PopupRequest::HandOver::NoWindow:
            break;
        }
    }
    // Qt takes the first thread that asks for its own as the main thread.
    QThread::currentThread();
    // The indexes load while the toolkit starts, on the thread that first opens the bus
    // connections the single-instance check needs. Whether this process is the window is known
    // only later: the load writes no log and cleans no folder until then, and stops if it is not.
    NameApplication();
    std::promise<void> reaching;
    std::future<void> reached = reaching.get_future();
    LoadAhead ahead;
    if (const std::string folder = ExecutableFolder(); !folder.empty()) {
        try {
            ahead =
                StartLoadAhead(LocateProgramPaths(folder, IsWritableFolder(folder)), [&reaching] {
                    RunningWindow::Reach();
                    reaching.set_value();
                });
        } catch (const std::system_error &) {
            // No thread to spare: the window loads them itself.
        }
    }
    if (!ahead.startup) {
        try {
            reached = std::async(std::launch::async, &RunningWindow::Reach);
        } catch (const std::system_error &) {
            // No thread to spare: Claim makes the connection itself.
            reached = std::future<void>();
        }
    }
    QApplication application(qtArgc, argv);
    SetUpApplication();

    const QString word =
        commandLine.selection ? SelectedText() : QString::fromLocal8Bit(commandLine.word.c_str());
    // Settled before the log and the settings are opened: they belong to the running window.
    RunningWindow runningWindow;
    if (reached.valid())
        reached.get();
    switch (runningWindow.Claim(word)) {
    case RunningWindow::Start::HandedOver:
        EndStartupNotice(startupId);
        return 0;
    case RunningWindow::Start::Failed:
        std::cerr << "kalvora: " << runningWindow.ErrorText().toLocal8Bit().constData() << '\n';
        return EXIT_NOT_HANDED_OVER;
    case RunningWindow::Start::First:
    case RunningWindow::Start::Alone:
        break;
    }
    // A start after the window has closed would otherwise hand its word to a program that ends.
    QObject::connect(
        &application, &QCoreApplication::aboutToQuit, &runningWindow, &RunningWindow::Release);
    PopupRequest popupRequest;
    popupRequest.Listen();

    try {
        const std::string programFolder =
            QCoreApplication::applicationDirPath().toStdString() + "/";
        const ProgramPaths paths =
            LocateProgramPaths(programFolder, IsWritableFolder(programFolder));
        // A load ahead that read anything but what the window reads is of no use to it.
        if (ahead.startup && !(ahead.paths == paths))
            ahead.Abandon();
        if (!ahead.startup)
            ahead = LoadAhead{paths, nullptr, nullptr, nullptr};
        TForm1 form(std::move(ahead));
        Form1 = &form;
        // Destroyed before the main window, their owner. The search window reads the
        // dictionaries from a thread of its own, which goes with it.
        std::unique_ptr<TDicsForm> dicsForm;
        std::unique_ptr<TAboutForm> aboutForm;
        std::unique_ptr<TFormSettings> formSettings;
        std::unique_ptr<TSearchForm> searchForm;
        QObject::connect(&form, &TForm1::dictionariesRequested, &form, [&] {
            Named(OpenedOnce(dicsForm, form.GetDatabase(), form.GetSettings(), &form,
                      [&form] { form.DictionariesChanged(); }),
                DicsForm)
                ->exec();
        });
        QObject::connect(&form, &TForm1::settingsRequested, &form, [&] {
            Named(OpenedOnce(formSettings, &form, &form), FormSettings)
                ->SetFonts(form.ListFont(), form.ArticleFont());
            FormSettings->SetAllArticles(form.ShowsAllArticles());
            FormSettings->exec();
        });
        QObject::connect(&form, &TForm1::aboutRequested, &form,
            [&] { Named(OpenedOnce(aboutForm, &form), AboutForm)->exec(); });
        QObject::connect(&form, &TForm1::searchRequested, &form, [&] {
            TSearchForm *search = OpenedOnce(
                searchForm, form.GetDatabase(),
                [&form](WordPosition position, const QString &phrase) {
                    form.ShowRecord(position, phrase);
                },
                &form);
            search->show();
            search->raise();
            search->activateWindow();
        });
        if (form.Terminated())
            return EXIT_NO_DICTIONARY;
        form.show();
        // Goes before the main window, whose dictionaries it reads.
        TPopupForm popup(form.GetDatabase(), [](const QString &requested) {
            if (!Form1)
                return;
            Form1->BringToFront();
            Form1->LookUp(requested);
        });
        if (commandLine.popup)
            popup.ShowWord(word, QCursor::pos());
        else if (!word.isEmpty())
            form.LookUp(word);
        // A request can still come while an error box runs after the popup has gone.
        popupRequest.SetHandler([shown = QPointer<TPopupForm>(&popup)] {
            if (shown)
                shown->ShowWord(SelectedText(), QCursor::pos());
        });
        // Through Form1, which the window clears when it goes: a request can still arrive while
        // an error box runs its own event loop after the window has gone.
        runningWindow.SetHandler([](const QString &requested) {
            if (!Form1)
                return;
            Form1->BringToFront();
            if (!requested.isEmpty())
                Form1->LookUp(requested);
        });
        application.exec();
    } catch (const std::exception &error) {
        QMessageBox::critical(
            nullptr, QStringLiteral("Kalvora"), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("Kalvora"), QString());
    }
    return 0;
}
