#include "console/program.h"

#include <new>

#include "console/errors.h"
#include "console/program_host.h"
#include "console/screen.h"

namespace {

constexpr int exitCodeNoThreadStorage = 255;

int endOfProgram(int exitCode) {
  hostCloseConsoleInput();
  resetProgramState();  // releases every program-wide string and list
  hostReleaseThreadStorage();
  hostUninitializeComponents();
  hostEndProcess(exitCode);
  return exitCode;
}

}  // namespace

std::string commandTail(std::string_view line) {
  size_t i = 0;
  if (!line.empty() && line[0] == '"') {
    const size_t close = line.find('"', 1);
    i = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && static_cast<unsigned char>(line[i]) > 32) ++i;
  }
  while (i < line.size() && line[i] == ' ') ++i;
  return std::string(line.substr(i));
}

int runProgram() {
  hostInitializeComponents();
  prepareConsole();
  hostReadVersion();
  const StartupInformation startup = hostReadStartupInformation();
  const int32_t showState = startup.useShowWindow ? startup.showWindow : 10;
  // The outermost activation has no handler: memory running out here is dropped, the tail empty.
  std::string tail;
  try {
    tail = commandTail(hostCommandLine());
  } catch (const std::bad_alloc&) {
    raiseError(7);
  }
  void* const instance = hostModuleHandle();
  if (!hostReserveThreadStorage()) {
    hostUninitializeComponents();
    hostEndProcess(exitCodeNoThreadStorage);
    return exitCodeNoThreadStorage;
  }
  resetProgramState();
  resetScreenDefaults();
  try {
    mainProcedure(instance, 0, tail, showState);
  } catch (const EndOfMainProcedure&) {
    // An error screen ended the program; it takes the same way out as a normal return.
  } catch (const std::bad_alloc&) {
    // The main menu's passes take their own; what is left belongs to the outermost activation,
    // which has no handler.
    raiseError(7);
  }
  return endOfProgram(0);
}
