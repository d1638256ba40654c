// Whole-process timings of a program against its floor program, started in turn round after
// round (which one goes first alternates), each timed from fork until it maps a window at least
// 500 pixels wide on the X display (--window) or until it ends. Prints both medians, the median
// of the per-round ratios and both programs' peak resident memory.
//
// usage: Process_bench [--window] [--rounds N] [--target X] [--extra-memory BYTES]
//            [--names A,B] [--stdin FILE] -- PROGRAM ARGS... -- FLOOR ARGS...

#include <X11/Xlib.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The splash window is narrower; only the main window counts as the program being up.
constexpr int MAIN_WINDOW_MIN_WIDTH = 500;
constexpr int WINDOW_TIMEOUT_MS = 20000;

struct Options
{
    bool window = false;
    int rounds = 15;
    double target = 0;
    double extraMemory = -1;
    std::string names[2] = {"program", "floor"};
    std::string input = "/dev/null";
    std::vector<std::string> commands[2];
};

struct Run
{
    double seconds;
    // Processor time of the process itself, user and system: on a machine shared with other
    // work it varies far less than the wall clock (the X server's share is not in it).
    double cpuSeconds;
    double maxRssBytes;
    // Resident when the window was mapped: what stays, without what the start-up held for a
    // while (the peak above counts that too).
    double rssAtMapBytes;
};

double ResidentBytes(pid_t pid)
{
    std::FILE *status = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (!status)
        return 0;
    char line[256];
    double kilobytes = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmRSS: %lf kB", &kilobytes) == 1)
            break;
    std::fclose(status);
    return kilobytes * 1024.0;
}

double Seconds(const timeval &time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

int IgnoreXError(Display *, XErrorEvent *)
{
    // A window that closed between its map and the question about its size.
    return 0;
}

bool ParseArguments(int argc, char **argv, Options &options)
{
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--window")
            options.window = true;
        else if (argument == "--rounds" && hasValue)
            options.rounds = std::atoi(argv[++i]);
        else if (argument == "--target" && hasValue)
            options.target = std::atof(argv[++i]);
        else if (argument == "--extra-memory" && hasValue)
            options.extraMemory = std::atof(argv[++i]);
        else if (argument == "--stdin" && hasValue)
            options.input = argv[++i];
        else if (argument == "--names" && hasValue) {
            const std::string names = argv[++i];
            const std::size_t comma = names.find(',');
            if (comma == std::string::npos)
                return false;
            options.names[0] = names.substr(0, comma);
            options.names[1] = names.substr(comma + 1);
        } else
            return false;
    }
    int which = -1;
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0 && which < 1)
            ++which;
        else if (which >= 0)
            options.commands[which].push_back(argv[i]);
    }
    return options.rounds > 0 && !options.commands[0].empty() && !options.commands[1].empty();
}

pid_t Start(const std::vector<std::string> &command, const std::string &input)
{
    std::vector<char *> arguments;
    for (const std::string &argument : command)
        arguments.push_back(const_cast<char *>(argument.c_str()));
    arguments.push_back(nullptr);
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int in = open(input.c_str(), O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execv(arguments[0], arguments.data());
    _exit(127);
}

bool WaitForMainWindow(Display *display, pid_t pid)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(WINDOW_TIMEOUT_MS);
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    while (Clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != MapNotify)
                continue;
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, event.xmap.window, &attributes)
                && attributes.width >= MAIN_WINDOW_MIN_WIDTH)
                return true;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return false;
        poll(&connection, 1, 5);
    }
    return false;
}

bool Measure(const Options &options, int which, Display *display, Run &run)
{
    if (display)
        XSync(display, True);
    const Clock::time_point start = Clock::now();
    const pid_t pid = Start(options.commands[which], options.input);
    if (pid < 0)
        return false;
    bool ok = true;
    if (display) {
        ok = WaitForMainWindow(display, pid);
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        run.rssAtMapBytes = ResidentBytes(pid);
        kill(pid, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    if (!display) {
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.maxRssBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
    return ok;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fprintf(stderr,
            "usage: Process_bench [--window] [--rounds N] [--target X] [--extra-memory BYTES] "
            "[--names A,B] [--stdin FILE] -- PROGRAM ARGS... -- FLOOR ARGS...\n");
        return 2;
    }
    Display *display = nullptr;
    if (options.window) {
        display = XOpenDisplay(nullptr);
        if (!display) {
            std::fprintf(stderr, "Process_bench: no X display\n");
            return 1;
        }
        XSetErrorHandler(IgnoreXError);
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    }
    std::vector<double> times[2];
    std::vector<double> cpuTimes[2];
    std::vector<double> memory[2];
    std::vector<double> memoryAtMap[2];
    std::vector<double> ratios;
    std::vector<double> cpuRatios;
    // One round first that is not counted: it fills the page cache and the font caches.
    for (int round = -1; round < options.rounds; ++round) {
        Run runs[2]{};
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (round + turn) % 2 == 0 ? 0 : 1;
            if (!Measure(options, which, display, runs[which])) {
                std::fprintf(stderr, "Process_bench: %s failed\n", options.names[which].c_str());
                return 1;
            }
        }
        if (round < 0)
            continue;
        for (int which = 0; which < 2; ++which) {
            times[which].push_back(runs[which].seconds);
            cpuTimes[which].push_back(runs[which].cpuSeconds);
            memory[which].push_back(runs[which].maxRssBytes);
            memoryAtMap[which].push_back(runs[which].rssAtMapBytes);
        }
        ratios.push_back(runs[0].seconds / runs[1].seconds);
        cpuRatios.push_back(runs[0].cpuSeconds / runs[1].cpuSeconds);
    }
    for (const bool cpu : {false, true}) {
        const double ratio = Median(cpu ? cpuRatios : ratios);
        std::printf("%s: %s median %.1f ms; %s: median %.1f ms; median of %d per-round ratios "
                    "%.2fx",
            cpu ? "processor time" : "wall clock", options.names[0].c_str(),
            Median(cpu ? cpuTimes[0] : times[0]) * 1e3, options.names[1].c_str(),
            Median(cpu ? cpuTimes[1] : times[1]) * 1e3, options.rounds, ratio);
        if (options.target > 0)
            std::printf(" (target <= %.2fx) %s", options.target,
                ratio <= options.target ? "met" : "MISSED");
        std::printf("\n");
    }
    std::printf("peak resident memory: %s %.1f MB, %s %.1f MB", options.names[0].c_str(),
        Median(memory[0]) / 1e6, options.names[1].c_str(), Median(memory[1]) / 1e6);
    if (options.extraMemory >= 0) {
        const double allowed = Median(memory[1]) + options.extraMemory;
        std::printf(" (target <= %.1f MB) %s", allowed / 1e6,
            Median(memory[0]) <= allowed ? "met" : "MISSED");
    }
    std::printf("\n");
    if (display) {
        const double allowed = Median(memoryAtMap[1]) + options.extraMemory;
        std::printf("resident when mapped: %s %.1f MB, %s %.1f MB", options.names[0].c_str(),
            Median(memoryAtMap[0]) / 1e6, options.names[1].c_str(), Median(memoryAtMap[1]) / 1e6);
        if (options.extraMemory >= 0)
            std::printf(" (target <= %.1f MB) %s", allowed / 1e6,
                Median(memoryAtMap[0]) <= allowed ? "met" : "MISSED");
        std::printf("\n");
    }
    if (display)
        XCloseDisplay(display);
    return 0;
}
