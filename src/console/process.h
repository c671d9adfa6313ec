#pragma once
#include <atomic>
#include <cstdint>
#include <string>

// Running a command line as a child process, and reading the environment. Failures are raised
// as run-time errors (console/errors.h) into the running procedure's error state; the services
// then return their fallback result.

// Runs `text` as a child process: the whole text, unchanged, with `showState`'s low 15 bits as
// its window's show state. With `wait` set, blocks until the child has ended and returns its
// exit code; otherwise returns its process identifier at once. When the child cannot be created
// raises the number mapSystemError gives for the system's error code and returns 0.
int32_t runShellCommand(const std::string& text, int32_t showState, bool wait, bool inherit);

// The variable's whole value; "" when it is not set or set to "". Raises 7 (and returns "")
// when the value cannot be held.
std::string getEnv(const std::string& name);

// The run-time error number for a Windows system error code read after a failed process
// creation. Code 0 is success and gives 0.
int32_t mapSystemError(uint32_t code);

// The process-wide lock around process creation: 0 when free, all bits set when taken.
extern std::atomic<uint32_t> systemCallLock;

struct GuardedCallResult {
  bool succeeded = false;  // the call's own result
  uint32_t errorCode = 0;  // the last-error code read right after the call
};

// Makes one system call under the lock, with critical-error boxes switched off, the last-error
// code cleared before it and read after it; the error mode is put back afterwards.
GuardedCallResult guardedSystemCall(bool (*call)(void* context), void* context);
