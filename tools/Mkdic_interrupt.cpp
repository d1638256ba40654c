#include "Mkdic_interrupt.h"

#include <array>
#include <cstring>
#include <unistd.h>

namespace {

// Every signal whose default ends the program and that a handler may catch; SIGKILL cannot be
// caught, and its leftovers are removed by the next run instead.
constexpr int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2,
    SIGALRM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};
constexpr std::size_t MAX_PATHS = 8;
constexpr std::size_t MAX_PATH_BYTES = 4096;

// Prepared before the handler is armed: the handler may only read them and call functions that
// are safe inside a signal handler (unlink, rmdir, signal, raise).
std::array<std::array<char, MAX_PATH_BYTES>, MAX_PATHS> paths;
std::size_t fileCount = 0;
std::size_t pathCount = 0;
volatile sig_atomic_t armed = 0;
bool installed = false;

void OnStopSignal(int signalNumber)
{
    if (armed) {
        for (std::size_t i = 0; i < pathCount; ++i)
            if (i < fileCount)
                unlink(paths[i].data());
            else
                rmdir(paths[i].data());
    }
    // The signal is blocked while this runs, so raising it again ends the program only once the
    // handler returns, with the status a caller expects of that signal.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

void Install()
{
    if (installed)
        return;
    installed = true;
    for (const int signalNumber : STOP_SIGNALS) {
        struct sigaction current = {};
        sigaction(signalNumber, nullptr, &current);
        if (current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        for (const int other : STOP_SIGNALS)
            sigaddset(&action.sa_mask, other);
        sigaction(signalNumber, &action, nullptr);
    }
}

} // namespace

bool ArmInterruptCleanup(
    const std::vector<std::string> &files, const std::vector<std::string> &folders)
{
    armed = 0;
    if (files.size() + folders.size() > MAX_PATHS)
        return false;
    std::size_t count = 0;
    for (const auto *list : {&files, &folders})
        for (const std::string &path : *list) {
            if (path.size() >= MAX_PATH_BYTES)
                return false;
            std::memcpy(paths[count].data(), path.c_str(), path.size() + 1);
            ++count;
        }
    fileCount = files.size();
    pathCount = count;
    Install();
    armed = 1;
    return true;
}

void DisarmInterruptCleanup()
{
    armed = 0;
}

StopSignalsHeld::StopSignalsHeld()
{
    sigset_t stop;
    sigemptyset(&stop);
    for (const int signalNumber : STOP_SIGNALS)
        sigaddset(&stop, signalNumber);
    sigprocmask(SIG_BLOCK, &stop, &previous);
}

StopSignalsHeld::~StopSignalsHeld()
{
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}
