// The screen and keyboard operations of the terminal host. The screen itself is the cell grid
// (console/grid); this adds the drawing, the keys and the start and end of the process.

#include <pthread.h>
#include <sys/utsname.h>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include <termios.h>
#include <unistd.h>
#include "console/keyboard_host.h"
#include "console/posix/default_interpreter.h"
#include "console/posix/terminal.h"
#include "console/program_host.h"
#include "console/screen_host.h"
#include "console/screen_start.h"

void hostOpenConsole(ScreenState& state) {
  openTerminal();
  state.stdoutIsConsole = isatty(STDOUT_FILENO);
  state.stdinIsConsole = isatty(STDIN_FILENO);
  setDefaultCommandInterpreter();
}

void hostBeep() {
  terminal.beepPending = true;
}

bool hostPeekEvent(KeyEvent& event) {
  followTerminalSize();
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
  presentScreen();
  const timespec millisecond{0, 1000000};
  nanosleep(&millisecond, nullptr);
}

void hostWaitForInput() {
  presentScreen();
  waitForTerminal(-1);
}

// Start and end. This host has no component library, start-up record or module handle; the
// stand-ins keep the order of the steps and the exit codes.

namespace {

pthread_key_t threadSlot;
bool threadSlotReserved = false;
void* threadRecord = nullptr;

}  // namespace

void hostInitializeComponents() {}
void hostUninitializeComponents() {}

void hostReadVersion() {
  utsname name{};
  uname(&name);
}

StartupInformation hostReadStartupInformation() {
  return {};
}

std::string hostCommandLine() {
  // The arguments as the kernel holds them, separated by blanks as a Windows command line is.
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  std::string line((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  while (!line.empty() && line.back() == '\0') line.pop_back();
  std::replace(line.begin(), line.end(), '\0', ' ');
  return line.empty() ? std::string("harrowkeeps") : line;
}

void* hostModuleHandle() {
  return reinterpret_cast<void*>(&hostModuleHandle);
}

bool hostReserveThreadStorage() {
  if (pthread_key_create(&threadSlot, nullptr) != 0) return false;
  threadSlotReserved = true;
  threadRecord = std::calloc(1, 128);
  if (threadRecord == nullptr || pthread_setspecific(threadSlot, threadRecord) != 0) {
    std::free(threadRecord);
    threadRecord = nullptr;
    pthread_key_delete(threadSlot);
    threadSlotReserved = false;
    return false;
  }
  return true;
}

void hostReleaseThreadStorage() {
  if (!threadSlotReserved) return;
  std::free(threadRecord);
  threadRecord = nullptr;
  pthread_setspecific(threadSlot, nullptr);
  pthread_key_delete(threadSlot);
  threadSlotReserved = false;
}

void hostCloseConsoleInput() {
  closeTerminal();
}

void hostEndProcess(int exitCode) {
  std::exit(exitCode);
}
