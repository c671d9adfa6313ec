// The keyboard operations on a Unix terminal: the bytes it sends, decoded into key events and
// queued until they are taken.

#include <termios.h>
#include <ctime>

#include "console/keyboard_host.h"
#include "console/posix/terminal.h"

bool hostPeekEvent(KeyEvent& event) {
  followTerminalChanges();
  if (terminal.events.empty()) readKeyboard();
  if (terminal.events.empty()) return false;
  event = terminal.events.front();
  return true;
}

void hostRemoveEvent() {
  if (!terminal.events.empty()) terminal.events.pop_front();
}

void hostFlushEvents() {
  tcflush(terminal.keyboardFd, TCIFLUSH);
  terminal.events.clear();
  resetDecoder(terminal.decoder);
}

void hostPause() {
  // A look that found nothing is followed by a wait that takes no processor time until there
  // may be something to find; the screen is drawn before, and again after a resize or resume.
  presentScreen();
  while (!keyboardHasInput()) {
    waitForTerminal(-1);
    presentScreen();
  }
  const timespec millisecond{0, 1000000};
  nanosleep(&millisecond, nullptr);
}

void hostWaitForInput() {
  presentScreen();
  waitForTerminal(-1);
}
