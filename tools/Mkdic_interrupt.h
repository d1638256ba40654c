#ifndef TOOLS_MKDIC_INTERRUPT_H
#define TOOLS_MKDIC_INTERRUPT_H

#include <csignal>
#include <string>
#include <vector>

// While armed, the signals that would end the program (SIGINT, SIGTERM, SIGHUP, SIGQUIT,
// SIGPIPE, SIGUSR1 and the like) first remove the given files and then the given folders (which
// must be empty by then), and the program then ends as the signal would have ended it. A signal the
// program was started to ignore stays ignored. Arm and disarm while the signals are held back
// (StopSignalsHeld), so that no signal sees half of a change. False when a path is too long to be
// prepared; nothing is armed then.
bool ArmInterruptCleanup(
    const std::vector<std::string> &files, const std::vector<std::string> &folders);
void DisarmInterruptCleanup();

// Holds the stopping signals back for its lifetime; one that came meanwhile is delivered when it
// ends.
class StopSignalsHeld
{
public:
    StopSignalsHeld();
    StopSignalsHeld(const StopSignalsHeld &) = delete;
    StopSignalsHeld &operator=(const StopSignalsHeld &) = delete;
    ~StopSignalsHeld();

private:
    sigset_t previous;
};

#endif // TOOLS_MKDIC_INTERRUPT_H
