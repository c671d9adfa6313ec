#pragma once
#include <sys/types.h>
#include <csignal>
#include <initializer_list>

// The signals the program answers on a terminal. Ends (SIGTERM, SIGHUP, SIGINT, SIGQUIT) put
// the terminal back and end the program by the same signal; while a command runs they are
// passed on to its process group first, and the wait for the command ends the program once the
// command is gone. A stop (SIGTSTP) puts the terminal back before the program stops, and a
// resume (SIGCONT) takes it again. A resize (SIGWINCH) and a resume are noted for the next
// look at the screen, and wake a blocked wait.
void installSignalHandlers();

// The process group of the command that runs, 0 when none, and whether it has the terminal.
void setCommandGroup(pid_t group, bool hasTerminal);

// Each returns what was noted since the last call and forgets it.
bool takeResizeNote();
bool takeRepaintNote();

// The end signal that came while a command ran, 0 when none has.
int endSignalNoted();

// Puts the terminal back and ends the program by `signal`, as its default action does.
[[noreturn]] void endBySignal(int signal);

// Holds `signals` back for as long as it lives, then puts the mask back as it was. Usable in a
// signal handler. A process group out of the terminal's foreground holds SIGTTOU back this way
// to set the terminal's mode or foreground group without being stopped for it.
struct HeldSignals {
  explicit HeldSignals(std::initializer_list<int> signals);
  ~HeldSignals();
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;
  sigset_t previous{};
};
