#pragma once
#include <cstdint>
#include <string>

// What running a command and reading the environment need of the operating system; one
// implementation per host, chosen at link time. Only console/process.cpp calls these. The text
// that crosses here is the program's own, code page 437: each host converts it to what its
// system takes and back.

// A handle of a created child, its process or its first thread; 0 is none. The host decides
// what it holds.
using HostHandle = uintptr_t;

struct CreatedProcess {
  HostHandle process = 0;
  HostHandle thread = 0;
  uint32_t processId = 0;
  uint32_t threadId = 0;
};

// Creates the child that runs `commandText`, whole and unchanged: its first token names the
// program, the text is the child's command line. The child shares the program's console,
// environment and current folder and runs at once. `showWindow` is the show state of its window
// where the host has windows; `inheritHandles` whether it inherits the program's inheritable
// handles. Returns whether the child was created. A failure leaves its reason, a Windows system
// error code on every host, in the thread's last-error code (hostLastError); on success
// `created` holds the handles and identifiers, on failure it is left zero. A text the system
// cannot take fails the same way.
bool hostCreateProcess(const std::string& commandText, uint16_t showWindow, bool inheritHandles,
                       CreatedProcess& created);

// Returns when the child has ended, however long that takes.
void hostWaitForProcess(HostHandle process);

// The child's exit code.
uint32_t hostProcessExitCode(HostHandle process);

// Gives up a handle of a child.
void hostCloseHandle(HostHandle handle);

// The whole value of an environment variable, however long it is; false when the variable is
// not set. A variable set to the empty string gives true and "". May throw std::bad_alloc when
// the value cannot be held.
bool hostReadVariable(const std::string& name, std::string& value);

// The process's error mode (whether the system may stop to ask about a missing medium): sets
// it and returns the previous one.
uint32_t hostSetErrorMode(uint32_t mode);

// The calling thread's last-error code.
void hostSetLastError(uint32_t code);
uint32_t hostLastError();
