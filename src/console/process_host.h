#pragma once
#include <cstdint>
#include <string>

// What running a command and reading the environment need of the operating system; one
// implementation per host, chosen at link time. Each operation is one Windows call, named
// beside it; other hosts provide the same meaning. Only console/process.cpp calls these.

// A handle of a created child, its process or its first thread; 0 is none. On Windows it holds
// the HANDLE itself.
using HostHandle = uintptr_t;

struct CreatedProcess {
  HostHandle process = 0;
  HostHandle thread = 0;
  uint32_t processId = 0;
  uint32_t threadId = 0;
};

// CreateProcessA with: no application name, so the program is the first token of the command
// line; `commandText` as the command line, whole and unchanged (the host makes the writable,
// NUL-terminated copy the call needs); one security-attributes record (length 12, no
// descriptor, inherit = `inheritHandles`) for the process and for the thread, and
// `inheritHandles` as the handle-inheritance flag; NORMAL_PRIORITY_CLASS alone, so the child
// shares the console and is not suspended; no environment and no current folder, so it
// inherits both; a start-up record of size 68 with STARTF_USESHOWWINDOW alone and
// `showWindow` as its show-window field, every other field zero.
// Returns the call's own result. A failed call leaves its reason, a Windows system error code,
// in the thread's last-error code (hostLastError); on success `created` holds the handles and
// identifiers, on failure it is left zero. A text the system cannot take fails the same way.
bool hostCreateProcess(const std::string& commandText, uint16_t showWindow, bool inheritHandles,
                       CreatedProcess& created);

// WaitForSingleObject with INFINITE: returns when the child has ended.
void hostWaitForProcess(HostHandle process);

// GetExitCodeProcess.
uint32_t hostProcessExitCode(HostHandle process);

// CloseHandle.
void hostCloseHandle(HostHandle handle);

// GetEnvironmentVariableA: the whole value however long it is (ask its length, then fetch);
// false when the variable is not set. A variable set to the empty string gives true and "".
// May throw std::bad_alloc when the value cannot be held.
bool hostReadVariable(const std::string& name, std::string& value);

// SetErrorMode: sets the process's error mode and returns the previous one.
uint32_t hostSetErrorMode(uint32_t mode);

// SetLastError and GetLastError: the calling thread's last-error code.
void hostSetLastError(uint32_t code);
uint32_t hostLastError();
