#pragma once
#include <cstdint>
#include <string>

// What the program's start and end need of the operating system; one implementation per host.
// On Windows these are the component library, the version query, the start-up information,
// the module handle and the thread-local storage; other hosts keep their order with stand-ins.

struct StartupInformation {
  bool useShowWindow = false;
  uint16_t showWindow = 0;
  bool useStandardHandles = false;  // the host then takes the handles it names
};

void hostInitializeComponents();
void hostUninitializeComponents();
void hostReadVersion();
StartupInformation hostReadStartupInformation();
std::string hostCommandLine();
void* hostModuleHandle();
// A thread-local slot holding a zero-filled 128-byte record; false when either can't be had.
bool hostReserveThreadStorage();
void hostReleaseThreadStorage();
void hostCloseConsoleInput();
// Ends the process with the exit code. A host may return instead (the tests' host does), and
// runProgram then returns the code.
void hostEndProcess(int exitCode);
