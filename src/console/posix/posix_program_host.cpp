// The program's start and end on a Unix terminal. This host has no component library, start-up
// record or module handle; the stand-ins keep the order of the steps and the exit codes.

#include <pthread.h>
#include <sys/utsname.h>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "console/posix/terminal.h"
#include "console/program_host.h"

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
