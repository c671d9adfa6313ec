#include "console/process.h"

#include <new>

#include "console/errors.h"
#include "console/process_host.h"

std::atomic<uint32_t> systemCallLock{0};

namespace {

// SEM_FAILCRITICALERRORS + SEM_NOOPENFILEERRORBOX: a drive without a medium or an unreadable
// program file makes the call fail with a code instead of opening a system dialog.
constexpr uint32_t quietErrorMode = 0x8001;

// Run-time error numbers for the system error codes 0 to 39, indexed by the code.
constexpr int32_t errorForLowCode[40] = {
    0,                                  // 0 success
    75,  53,  76, 67, 70, 51, 241, 7,   // 1-8
    241, 241, 51, 51, 51, 7,  68,  75,  // 9-16
    74,  53,  70, 68, 71, 51, 72,  51,  // 17-24
    72,  72,  72, 72, 72, 72, 72,  70,  // 25-32
    70,  72,  72, 70, 75, 62, 61,       // 33-39
};

// Held for the one call; released and the error mode put back however the call ends.
struct HeldSystemCallLock {
  uint32_t previousMode = 0;

  HeldSystemCallLock() {
    while (systemCallLock.exchange(0xFFFFFFFFu, std::memory_order_acquire) != 0) {
    }
    previousMode = hostSetErrorMode(quietErrorMode);
  }
  ~HeldSystemCallLock() {
    hostSetErrorMode(previousMode);
    systemCallLock.store(0, std::memory_order_release);
  }
  HeldSystemCallLock(const HeldSystemCallLock&) = delete;
  HeldSystemCallLock& operator=(const HeldSystemCallLock&) = delete;
};

struct CreateRequest {
  const std::string* text;
  uint16_t showWindow;
  bool inherit;
  CreatedProcess created;
};

bool createProcessCall(void* context) {
  auto& request = *static_cast<CreateRequest*>(context);
  return hostCreateProcess(*request.text, request.showWindow, request.inherit, request.created);
}

}  // namespace

int32_t mapSystemError(uint32_t code) {
  if (code < 40) return errorForLowCode[code];
  if (code == 87) return 5;
  if (code == 112) return 61;
  return 75;
}

GuardedCallResult guardedSystemCall(bool (*call)(void* context), void* context) {
  HeldSystemCallLock lock;
  hostSetLastError(0);
  GuardedCallResult result;
  result.succeeded = call(context);
  result.errorCode = hostLastError();
  return result;
}

int32_t runShellCommand(const std::string& text, int32_t showState, bool wait, bool inherit) {
  // The whole text goes on: a text cut short would run a different copy (switches lost, or a
  // target path shortened so the files land elsewhere). A text the system cannot take makes
  // the creation fail with the system's own code.
  CreateRequest request{&text, static_cast<uint16_t>(showState & 0x7FFF), inherit, {}};
  const GuardedCallResult call = guardedSystemCall(createProcessCall, &request);
  if (!call.succeeded) {
    // A failure that leaves no code behind raises nothing.
    if (call.errorCode != 0) raiseError(mapSystemError(call.errorCode));
    return 0;
  }
  int32_t result = static_cast<int32_t>(request.created.processId);
  if (wait) {
    hostWaitForProcess(request.created.process);
    result = static_cast<int32_t>(hostProcessExitCode(request.created.process));
  }
  hostCloseHandle(request.created.process);
  hostCloseHandle(request.created.thread);
  return result;
}

std::string getEnv(const std::string& name) {
  try {
    std::string value;
    if (!hostReadVariable(name, value)) return std::string();
    return value;
  } catch (const std::bad_alloc&) {
    raiseError(7);
    return std::string();
  }
}
