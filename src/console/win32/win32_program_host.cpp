// The program's start and end on Windows.

#include <objbase.h>
#include <windows.h>

#include "console/program_host.h"
#include "console/win32/console_handles.h"

namespace {

DWORD threadSlot = TLS_OUT_OF_INDEXES;
HGLOBAL threadRecord = nullptr;

constexpr SIZE_T threadRecordSize = 128;

}  // namespace

void hostInitializeComponents() {
  CoInitialize(nullptr);
}

void hostUninitializeComponents() {
  CoUninitialize();
}

void hostReadVersion() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
}

StartupInformation hostReadStartupInformation() {
  STARTUPINFOA info{};
  info.cb = sizeof info;
  GetStartupInfoA(&info);
  StartupInformation startup;
  startup.useShowWindow = (info.dwFlags & STARTF_USESHOWWINDOW) != 0;
  startup.showWindow = info.wShowWindow;
  startup.useStandardHandles = (info.dwFlags & STARTF_USESTDHANDLES) != 0;
  if (startup.useStandardHandles) {
    // The screen stays on the console chosen at start-up; flushing the keyboard goes through
    // the standard input named here.
    consoleHandles.standardInput = info.hStdInput;
    consoleHandles.standardOutput = info.hStdOutput;
    consoleHandles.standardError = info.hStdError;
  }
  return startup;
}

std::string hostCommandLine() {
  const char* line = GetCommandLineA();
  return line != nullptr ? std::string(line) : std::string();
}

void* hostModuleHandle() {
  return GetModuleHandleA(nullptr);
}

bool hostReserveThreadStorage() {
  threadSlot = TlsAlloc();
  if (threadSlot == TLS_OUT_OF_INDEXES) return false;
  threadRecord = GlobalAlloc(GPTR, threadRecordSize);
  if (threadRecord == nullptr || !TlsSetValue(threadSlot, threadRecord)) {
    if (threadRecord != nullptr) GlobalFree(threadRecord);
    threadRecord = nullptr;
    TlsFree(threadSlot);
    threadSlot = TLS_OUT_OF_INDEXES;
    return false;
  }
  return true;
}

void hostReleaseThreadStorage() {
  if (threadSlot == TLS_OUT_OF_INDEXES) return;
  GlobalFree(threadRecord);
  threadRecord = nullptr;
  TlsSetValue(threadSlot, nullptr);
  TlsFree(threadSlot);
  threadSlot = TLS_OUT_OF_INDEXES;
}

void hostCloseConsoleInput() {
  if (consoleHandles.keyboard != INVALID_HANDLE_VALUE) CloseHandle(consoleHandles.keyboard);
  consoleHandles.keyboard = INVALID_HANDLE_VALUE;
}

void hostEndProcess(int exitCode) {
  ExitProcess(static_cast<UINT>(exitCode));
}
