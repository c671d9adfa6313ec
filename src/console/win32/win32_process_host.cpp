// Child processes and the environment on Windows. The program's text is code page 437, which is
// neither the ANSI code page that CreateProcessA and GetEnvironmentVariableA read text in nor,
// in general, the console's: the ü of a typed "Bücher" is the byte 0x81, which code page 1252
// leaves unassigned (its ü is 0xFC). So the Unicode calls are used, with the text converted
// from and to code page 437.

#include <windows.h>

#include <string>
#include <vector>

#include "console/cp437.h"
#include "console/process_host.h"

namespace {

HANDLE toHandle(HostHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

HostHandle fromHandle(HANDLE handle) {
  return reinterpret_cast<HostHandle>(handle);
}

// NUL-terminated UTF-16 for a Windows call; a writable copy, which CreateProcessW needs.
std::vector<wchar_t> wideText(const std::string& text) {
  const std::u16string units = cp437TextToUtf16(text);
  std::vector<wchar_t> wide(units.begin(), units.end());
  wide.push_back(L'\0');
  return wide;
}

}  // namespace

// The records' size fields hold their own sizes: 68 and 12 bytes in a 32-bit build, 104 and 24
// in this 64-bit one, where the pointers and handles inside them are twice as wide.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOW) == 68);
static_assert(sizeof(void*) != 4 || sizeof(SECURITY_ATTRIBUTES) == 12);

bool hostCreateProcess(const std::string& commandText, uint16_t showWindow, bool inheritHandles,
                       CreatedProcess& created) {
  std::vector<wchar_t> commandLine = wideText(commandText);

  // Show state only: no title, desktop, position, size or redirected standard handles.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showWindow;

  // One record for the process and its first thread, without a security descriptor.
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = inheritHandles ? TRUE : FALSE;

  // No application name: the system takes the program from the command line's first token.
  // NORMAL_PRIORITY_CLASS alone: the child shares the console and is not started suspended.
  // No environment and no current folder: it inherits the program's.
  PROCESS_INFORMATION information{};
  const BOOL ok = CreateProcessW(nullptr, commandLine.data(), &security, &security,
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
  const std::vector<wchar_t> wideName = wideText(name);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    SetLastError(0);
    const DWORD length =
        GetEnvironmentVariableW(wideName.data(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      // 0 is both "not set" and an empty value; only the error code tells them apart.
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      value.clear();
      return true;
    }
    if (length < buffer.size()) {
      // A character code page 437 lacks becomes '?': the value stays as long as it was.
      value = utf16TextToCp437(std::u16string(buffer.begin(), buffer.begin() + length), '?');
      return true;
    }
    // Too small: `length` is the size the value needs, its NUL included. The variable may
    // grow before the next look, so ask again rather than trust one answer.
    buffer.assign(length, L'\0');
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
