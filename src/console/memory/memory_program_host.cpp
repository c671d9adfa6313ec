// The program's start and end on the tests' host: each step is recorded, and the end of the
// process returns so that the test can look at what happened.

#include "console/memory/memory_host.h"
#include "console/program_host.h"

void hostInitializeComponents() {
  memoryHost.lifecycle.push_back("initialize components");
}
void hostUninitializeComponents() {
  memoryHost.lifecycle.push_back("uninitialize components");
}
void hostReadVersion() {
  memoryHost.lifecycle.push_back("read version");
}

StartupInformation hostReadStartupInformation() {
  memoryHost.lifecycle.push_back("read startup information");
  return {};
}

std::string hostCommandLine() {
  memoryHost.lifecycle.push_back("read command line");
  return memoryHost.commandLine;
}

void* hostModuleHandle() {
  memoryHost.lifecycle.push_back("module handle");
  return &memoryHost;
}

bool hostReserveThreadStorage() {
  memoryHost.lifecycle.push_back("reserve thread storage");
  return !memoryHost.threadStorageFails;
}

void hostReleaseThreadStorage() {
  memoryHost.lifecycle.push_back("release thread storage");
}
void hostCloseConsoleInput() {
  memoryHost.lifecycle.push_back("close console input");
}

void hostEndProcess(int exitCode) {
  memoryHost.lifecycle.push_back("end process");
  memoryHost.exitCode = exitCode;
}
