#pragma once
#include <termios.h>
#include <cstdint>
#include <deque>
#include <string>

#include "console/key_event.h"
#include "console/posix/key_decoder.h"
#include "console/posix/terminal_renderer.h"

// The terminal this host draws the screen on and reads keys from.
struct Terminal {
  int keyboardFd = -1;  // the controlling terminal, also when standard input is redirected
  int screenFd = -1;    // standard output when it is a terminal, else standard error
  termios savedMode{};
  bool modeSaved = false;
  int wakePipe[2] = {-1, -1};  // written by the signal handlers, so a blocked wait looks again
  KeyDecoder decoder;
  std::deque<KeyEvent> events;  // decoded, not yet taken
  TerminalView view;
  bool beepPending = false;
  bool lent = false;  // a command's process group has the terminal
};

extern Terminal terminal;

// Opens the keyboard, picks the screen, sets the raw input mode and arranges for the mode and
// the cursor to be put back at every end. Without a terminal it says so and ends with 1.
void openTerminal();

// Puts back the input mode and the cursor, and closes the keyboard.
void closeTerminal();

// The input modes over the mode saved at the start. All three are async-signal-safe.
// Raw: every key reaches the program as it is typed.
void applyRawMode();
// While a command runs: as raw, but the interrupt key sends its signal to the command, and a
// read waits for a key, as commands expect of a terminal.
void applyCommandMode();
// The mode, the colours and the cursor as they were before the program started.
void restoreTerminalState();

// Before a command starts: when the program's process group has the terminal, the mode for
// commands is set and true returned, and the command's own group is then to be made the
// foreground for its run. False leaves the terminal alone.
bool lendTerminal();

// After a command: the program's own process group in the foreground again (when the command
// had the terminal) and the raw input mode, whatever mode the command left behind.
void takeBackTerminal();

// Draws what changed on the screen since the last frame, in one write. Nothing is compared
// when nothing has changed.
void presentScreen();

// Reads whatever the keyboard has sent, without waiting, and decodes it.
void readKeyboard();

// True when a look at the keyboard could find something: decoded keys, bytes waiting, or an
// Esc whose meaning is due.
bool keyboardHasInput();

// Blocks until the keyboard has bytes, a pending Esc must be decided, or a signal asks for a
// look (a resize, a resume); `timeoutMs` -1 waits without limit.
void waitForTerminal(int64_t timeoutMs);

// Follows what the signals reported: a resize (the grid's window takes the new size, the buffer
// grows if it must) and a resume after a stop (everything is drawn afresh).
void followTerminalChanges();

// Looks at the terminal's size and follows a change: the grid's window takes it and the next
// frame is drawn afresh. The resize signal asks for it; while a command has the terminal its
// resizes signal the command alone, so the program looks now and then itself.
void lookAtTerminalSize();

int64_t monotonicMs();
