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
  int wakePipe[2] = {-1, -1};  // written by the resize signal, so a blocked wait looks again
  KeyDecoder decoder;
  std::deque<KeyEvent> events;  // decoded, not yet taken
  TerminalView view;
  bool beepPending = false;
};

extern Terminal terminal;

// Opens the keyboard, picks the screen, sets the raw input mode and arranges for the mode and
// the cursor to be put back at every end. Without a terminal it says so and ends with 1.
void openTerminal();

// Sets the raw input mode again over the mode saved at the start, after a child that may have
// left the terminal in a mode of its own.
void reapplyRawMode();

// Draws what changed on the screen since the last frame, in one write.
void presentScreen();

// Reads whatever the keyboard has sent, without waiting, and decodes it.
void readKeyboard();

// Blocks until the keyboard has bytes, a pending Esc must be decided, or the terminal was
// resized; `timeoutMs` -1 waits without limit.
void waitForTerminal(int64_t timeoutMs);

// Follows a resize of the terminal: the grid takes the new size and is drawn afresh.
void followTerminalSize();

// Puts back the input mode and the cursor, and closes the keyboard.
void closeTerminal();

int64_t monotonicMs();
