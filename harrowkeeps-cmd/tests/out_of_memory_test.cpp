// Memory running out at any one allocation of a copy, each in turn, on the
// walk's thread or a writer's or a flusher's: the copy never aborts and never
// leaves a temporary; it says "Insufficient memory" when it could not go on,
// and the count is the number of whole copies on the target.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "command_text.h"
#include "test_support.h"
#include "xcopy_command.h"
#include "xcopy_refusal.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocationsSoFar{0};
std::atomic<long> failingAllocation{0};  // counted from 1; 0 for none
std::atomic<bool> failingFromThereOn{false};

void* allocate(std::size_t size) {
  if (counting.load(std::memory_order_relaxed)) {
    long number = allocationsSoFar.fetch_add(1, std::memory_order_relaxed) + 1;
    long failing = failingAllocation.load(std::memory_order_relaxed);
    if (failing != 0 && (number == failing || (failingFromThereOn && number > failing)))
      return nullptr;
  }
  return std::malloc(size == 0 ? 1 : size);
}

// As the standard operator new does: a failure calls the new-handler,
// which may make room and have the allocation tried again, or throw.
void* allocateOrThrow(std::size_t size) {
  for (;;) {
    if (void* p = allocate(size)) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
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

namespace {

class OutOfMemory : public SandboxTest {
 protected:
  // A run with allocation `failAt` failing (0: none), counted only inside
  // the command; the process's own main() says "Insufficient memory" and
  // ends with 4 for what escapes.
  InProcessResult run(long failAt, bool fromThereOn = false) {
    BatchLimits limits;
    limits.files = 6;
    XcopySettings settings;
    settings.drives = sandbox.drives;
    settings.batchLimits = limits;
    int fd = memfd_create("xcopy-output", MFD_CLOEXEC);
    settings.output = Output{fd, fd};
    const std::vector<Argument> words = splitArguments("C:\\Lotto J:\\Lotto /S /D /I /Y");
    failingFromThereOn = fromThereOn;
    allocationsSoFar = 0;
    failingAllocation = failAt;
    InProcessResult result;
    counting = true;
    try {
      result.exitCode = runXcopy(words, settings);
      counting = false;
    } catch (const std::bad_alloc&) {
      counting = false;
      result.exitCode = exitBadInput;
      const char said[] = "Insufficient memory\n";
      if (write(fd, said, sizeof said - 1) < 0) ADD_FAILURE() << "cannot write";
    }
    off_t size = lseek(fd, 0, SEEK_CUR);
    result.output.resize(static_cast<std::size_t>(size));
    if (pread(fd, result.output.data(), result.output.size(), 0) != size) ADD_FAILURE() << "read";
    close(fd);
    return result;
  }
};

class OutOfMemoryEveryAllocation : public OutOfMemory {
 protected:
  void SetUp() override {
    OutOfMemory::SetUp();
    makeLotto();
  }
  void makeLotto() {
    for (const char* folder : {"Lotto/a", "Lotto/b", "Lotto/c"}) {
      makeFolders(sandbox.c + "/" + folder);
      for (int i = 0; i < 8; ++i)
        writeFile(sandbox.c + "/" + folder + "/f" + std::to_string(i), pattern(300 + i));
    }
  }
  // After the run failing at `failAt`: no temporary is left, and every file
  // on the target is a whole copy; how many there are.
  long wholeCopies(long failAt) {
    EXPECT_EQ(temporariesBelow(sandbox.j), std::vector<std::string>{}) << failAt;
    long whole = 0;
    for (const std::string& name : filesBelow(sandbox.j)) {
      if (name.back() == '/') continue;
      EXPECT_EQ(readFile(sandbox.j + "/" + name), readFile(sandbox.c + "/" + name)) << failAt;
      ++whole;
    }
    return whole;
  }
};

// One allocation fails: the reserve makes room for it, the copy stops at
// its next look and ends in order, its count the copies on the target.
TEST_F(OutOfMemoryEveryAllocation, OneThatFailsEndsTheCopyInOrder) {
  InProcessResult complete = run(0);
  ASSERT_EQ(complete.exitCode, 0) << complete.output;
  const long allocations = allocationsSoFar.load();
  ASSERT_GT(allocations, 10);
  // Every allocation up to a few hundred, then every so many.
  const long stride = allocations > 400 ? allocations / 200 : 1;
  for (long failAt = 1; failAt <= allocations; failAt += (failAt < 300 ? 1 : stride)) {
    std::filesystem::remove_all(sandbox.j + "/Lotto");
    InProcessResult result = run(failAt);
    const std::vector<std::string> said = lines(result.output);
    ASSERT_FALSE(said.empty()) << failAt;
    EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 4 || result.exitCode == 5)
        << failAt << ": " << result.exitCode;
    // The count is what is on the target, each a whole copy.
    const long whole = wholeCopies(failAt);
    long counted = -1;
    for (const std::string& line : said)
      if (line.find(" File(s) copied") != std::string::npos) counted = std::stol(line);
    if (counted >= 0) {
      EXPECT_EQ(counted, whole) << failAt << "\n" << result.output;
    }
    if (result.exitCode == 4) {
      EXPECT_EQ(whole, 0) << failAt << "\n" << result.output;
    }
    if (result.exitCode != 0) {
      EXPECT_NE(result.output.find("Insufficient memory"), std::string::npos) << failAt;
    }
  }
}

// Every allocation from one on fails, the reserve's room too: no abort, no
// temporary left, an exit that says not everything was copied.
TEST_F(OutOfMemoryEveryAllocation, AllThatFailFromOneOnEndTheCopyWithoutATrace) {
  InProcessResult complete = run(0);
  ASSERT_EQ(complete.exitCode, 0) << complete.output;
  const long allocations = allocationsSoFar.load();
  const long stride = allocations > 200 ? allocations / 100 : 1;
  for (long failAt = 1; failAt <= allocations; failAt += stride) {
    std::filesystem::remove_all(sandbox.j + "/Lotto");
    InProcessResult result = run(failAt, true);
    const long whole = wholeCopies(failAt);
    // 0 only when memory ran out after the last copy was named.
    EXPECT_TRUE(result.exitCode == 4 || result.exitCode == 5 ||
                (result.exitCode == 0 && whole == 24))
        << failAt << ": " << result.exitCode << ", " << whole << " copied";
  }
}

}  // namespace
