// Memory running out at any one allocation of a session, each allocation in turn: the program
// never aborts; it shows the page of error 7 or carries on, and it ends with exit code 0.
//
// The screen and the keyboard are the in-memory host's; the start and end of the process and the
// child processes are stand-ins of this file that keep no records, so every allocation counted
// is one the program (or a real host's conversions) would make.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "console/grid/cell_grid.h"
#include "console/grid/processed_output.h"
#include "console/memory/memory_host.h"
#include "console/process_host.h"
#include "console/program.h"
#include "console/program_host.h"
#include "console/screen.h"

namespace {

struct AllocationCounter {
  bool counting = false;
  long count = 0;
  long failAt = 0;  // the allocation that fails, counted from 1; 0 for none
  bool failed = false;
};

AllocationCounter allocations;

void* allocate(std::size_t size) {
  if (allocations.counting && ++allocations.count == allocations.failAt) {
    allocations.failed = true;
    return nullptr;
  }
  return std::malloc(size == 0 ? 1 : size);
}

void* allocateOrThrow(std::size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return allocateOrThrow(size);
}
void* operator new[](std::size_t size) {
  return allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

// The start and end of the process: nothing to record, nothing allocated.
void hostInitializeComponents() {}
void hostUninitializeComponents() {}
void hostReadVersion() {}
StartupInformation hostReadStartupInformation() {
  return {};
}
std::string hostCommandLine() {
  return "harrowkeeps.exe";
}
void* hostModuleHandle() {
  return nullptr;
}
bool hostReserveThreadStorage() {
  return true;
}
void hostReleaseThreadStorage() {}
void hostCloseConsoleInput() {}
void hostEndProcess(int exitCode) {
  memoryHost.exitCode = exitCode;
}

namespace {

int childrenRun = 0;
HostHandle lastHandle = 0;
uint32_t lastErrorCode = 0;
uint32_t errorMode = 0;

}  // namespace

// Children that write a line into the screen and end. A real host converts the command text for
// its system; the copy here stands for that allocation.
bool hostCreateProcess(const std::string& commandText, uint16_t, bool, CreatedProcess& created) {
  const std::string systemText = commandText + std::string(16, '\0');
  created.process = ++lastHandle;
  created.thread = ++lastHandle;
  created.processId = static_cast<uint32_t>(systemText.size());
  return true;
}
void hostWaitForProcess(HostHandle) {
  ProcessedOutput output;
  writeProcessedOutput(screenGrid, output, "C:\\My Documents\\a.txt\r\n1 File(s) copied\r\n");
  ++childrenRun;
}
uint32_t hostProcessExitCode(HostHandle) {
  return 0;
}
void hostCloseHandle(HostHandle) {}
bool hostReadVariable(const std::string& name, std::string& value) {
  if (name != "COMSPEC") return false;
  value = "C:\\WINDOWS\\system32\\cmd.exe";
  return true;
}
uint32_t hostSetErrorMode(uint32_t mode) {
  const uint32_t previous = errorMode;
  errorMode = mode;
  return previous;
}
void hostSetLastError(uint32_t code) {
  lastErrorCode = code;
}
uint32_t hostLastError() {
  return lastErrorCode;
}

namespace {

struct Session {
  bool ended = false;    // runProgram returned: the program took its way out
  bool escaped = false;  // memory running out went past the program's start
  int exitCode = -1;
  bool errorPage7 = false;
  bool scriptKept = false;  // every key went where the script meant it to
  long allocations = 0;
  bool failureInjected = false;
};

// Keys to give the program, one at each wait; after them only "x" (which leaves any screen
// these sessions reach), a few times, in case a key went astray.
Session runSession(const std::vector<std::string>& keys, long failAt) {
  resetMemoryHost();
  memoryHost.lifecycle.reserve(8);  // the host's record of the console's start, not the program's
  screenState = ScreenState{};
  childrenRun = 0;
  Session session;
  size_t next = 0;
  int extraKeys = 0;
  memoryHost.beforeWait = [&] {
    const bool wasCounting = allocations.counting;
    allocations.counting = false;
    if (memoryHost.events.empty()) {
      if (screenRow(18).find("ERROR # 7 ") != std::string::npos) session.errorPage7 = true;
      if (next < keys.size()) {
        typeText(keys[next++]);
      } else if (extraKeys++ < 5) {
        typeText("x");
      }
    }
    allocations.counting = wasCounting;
  };
  allocations = AllocationCounter{true, 0, failAt, false};
  try {
    session.exitCode = runProgram();
    session.ended = true;
  } catch (const ScriptExhausted&) {
    session.ended = false;
  } catch (const std::bad_alloc&) {
    session.escaped = true;
  }
  allocations.counting = false;
  memoryHost.beforeWait = nullptr;
  session.allocations = allocations.count;
  session.failureInjected = allocations.failed;
  session.scriptKept = next == keys.size() && extraKeys == 0;
  return session;
}

long sessionFailingAt = 0;

// An abort would end the whole test binary; this says which allocation caused it.
[[noreturn]] void reportTermination() {
  std::fprintf(stderr, "terminated with allocation %ld failing\n", sessionFailingAt);
  std::abort();
}

struct SweepFigures {
  long allocations = 0;
  long onErrorPage7 = 0;
  long carriedOn = 0;
};

// Fails each allocation of the session in turn, until a session needs fewer allocations than
// the one that would fail.
SweepFigures sweep(const std::vector<std::string>& keys, int childrenExpected, bool strict) {
  const std::terminate_handler previous = std::set_terminate(reportTermination);
  const Session clean = runSession(keys, 0);
  EXPECT_TRUE(clean.ended && clean.scriptKept && !clean.errorPage7);
  EXPECT_EQ(childrenRun, childrenExpected);
  SweepFigures figures;
  figures.allocations = clean.allocations;
  for (long failAt = 1;; ++failAt) {
    sessionFailingAt = failAt;
    const Session s = runSession(keys, failAt);
    if (!s.failureInjected) break;
    EXPECT_FALSE(s.escaped) << "allocation " << failAt << ": memory running out left the program";
    EXPECT_TRUE(s.ended || s.escaped) << "allocation " << failAt << ": the program did not end";
    EXPECT_EQ(s.exitCode, 0) << "allocation " << failAt;
    EXPECT_EQ(memoryHost.exitCode, 0) << "allocation " << failAt;
    if (s.errorPage7) {
      ++figures.onErrorPage7;
    } else {
      ++figures.carriedOn;
      if (strict) {
        EXPECT_TRUE(s.scriptKept && childrenRun == childrenExpected)
            << "allocation " << failAt << ": neither the page of error 7 nor the whole session";
      }
    }
  }
  std::set_terminate(previous);
  std::printf(
      "%ld allocations in the session; each failed in turn: %ld ended on the page of "
      "error 7, %ld carried on\n",
      figures.allocations, figures.onErrorPage7, figures.carriedOn);
  return figures;
}

TEST(AllocationFailure, MenusAndJobsNeverAbort) {
  // The main menu, job D and its pause, Menu II, job H and its pause, back, and out.
  const SweepFigures figures = sweep({"d", " ", "a", "h", " ", "x", "x"}, 2, true);
  EXPECT_GT(figures.onErrorPage7, 0);
}

TEST(AllocationFailure, InputScreensNeverAbort) {
  // The drive selection, then the generalized backup once. Errors there are dropped: a field
  // or a screen cut short by one goes on or comes back, so the keys may land elsewhere.
  sweep({"s", "\r", "\r", "a", "g", "\r", "\r", " ", "n", "x", "x"}, 1, false);
}

}  // namespace
