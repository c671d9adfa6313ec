// Child processes and the environment on Windows.

#include <windows.h>

#include <string>
#include <vector>

#include "console/process_host.h"

namespace {

HANDLE toHandle(HostHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

HostHandle fromHandle(HANDLE handle) {
  return reinterpret_cast<HostHandle>(handle);
}

}  // namespace

// The records' size fields hold their own sizes: 68 and 12 bytes in a 32-bit build, 104 and 24
// in this 64-bit one, where the pointers and handles inside them are twice as wide.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOA) == 68);
static_assert(sizeof(void*) != 4 || sizeof(SECURITY_ATTRIBUTES) == 12);

bool hostCreateProcess(const std::string& commandText, uint16_t showWindow, bool inheritHandles,
                       CreatedProcess& created) {
  // CreateProcessA may write into its command line, so it gets a copy of the whole text.
  std::vector<char> commandLine(commandText.begin(), commandText.end());
  commandLine.push_back('\0');

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showWindow;

  // One record for the process and its first thread.
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = inheritHandles ? TRUE : FALSE;

  PROCESS_INFORMATION information{};
  const BOOL ok = CreateProcessA(nullptr, commandLine.data(), &security, &security,
                                 inheritHandles ? TRUE : FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                                 nullptr, &startup, &information);
  if (!ok) return false;
  created.process = fromHandle(information.hProcess);
  created.thread = fromHandle(information.hThread);
  created.processId = information.dwProcessId;
  created.threadId = information.dwThreadId;
  return true;
}

void hostWaitForProcess(HostHandle process) {
  WaitForSingleObject(toHandle(process), INFINITE);
}

uint32_t hostProcessExitCode(HostHandle process) {
  DWORD code = 0;
  GetExitCodeProcess(toHandle(process), &code);
  return code;
}

void hostCloseHandle(HostHandle handle) {
  CloseHandle(toHandle(handle));
}

bool hostReadVariable(const std::string& name, std::string& value) {
  std::string buffer(256, '\0');
  for (;;) {
    SetLastError(0);
    const DWORD length =
        GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      // 0 is both "not set" and an empty value; only the error code tells them apart.
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      value.clear();
      return true;
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      value = std::move(buffer);
      return true;
    }
    // Too small: `length` is the size the value needs, its NUL included. The variable may
    // grow before the next look, so ask again rather than trust one answer.
    buffer.assign(length, '\0');
  }
}

uint32_t hostSetErrorMode(uint32_t mode) {
  return SetErrorMode(mode);
}

void hostSetLastError(uint32_t code) {
  SetLastError(code);
}

uint32_t hostLastError() {
  return GetLastError();
}
