// Running a command and reading the environment, on the tests' recorded launcher.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "console/errors.h"
#include "console/memory/memory_host.h"
#include "console/memory/memory_process_host.h"
#include "console/process.h"

namespace {

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetMemoryHost();
    resetMemoryProcessHost();
  }
  ProcedureActivation activation;  // a fresh error state to read back
};

TEST(MapSystemError, EveryCodeOfTheTableAndTheRuleAbove39) {
  // Grouped by the number they give, as the advice pages read them.
  const std::vector<std::pair<int32_t, std::vector<uint32_t>>> table = {
      {5, {87}},
      {7, {8, 14}},
      {51, {6, 11, 12, 13, 22, 24}},
      {53, {2, 18}},
      {61, {39, 112}},
      {62, {38}},
      {67, {4}},
      {68, {15, 20}},
      {70, {5, 19, 32, 33, 36}},
      {71, {21}},
      {72, {23, 25, 26, 27, 28, 29, 30, 31, 34, 35}},
      {74, {17}},
      {75, {1, 16, 37, 40, 41, 86, 88, 111, 113, 123, 206, 1359, 0xFFFFFFFFu}},
      {76, {3}},
      {241, {7, 9, 10}},
  };
  std::vector<bool> seen(40, false);
  for (const auto& [number, codes] : table) {
    for (uint32_t code : codes) {
      EXPECT_EQ(mapSystemError(code), number) << "code " << code;
      if (code < 40) seen[code] = true;
    }
  }
  for (uint32_t code = 1; code < 40; ++code) EXPECT_TRUE(seen[code]) << "code " << code;
  EXPECT_EQ(mapSystemError(0), 0);
}

TEST_F(ProcessTest, TheWholeTextReachesTheSystemUnchanged) {
  const std::string exact256(256, 'a');
  const std::string longer = "C:\\WINDOWS\\system32\\cmd.exe /CXCOPY \"" + std::string(300, 'x') +
                             "\" \"J:\\" + std::string(300, 'y') + "\" /S /D /I /Y";
  const std::string huge(40000, 'z');
  for (const std::string& text : {exact256, longer, huge}) {
    runShellCommand(text, 1, true, false);
    EXPECT_EQ(memoryProcessHost.creations.back().text, text);
  }
  EXPECT_EQ(errorNumber(), 0);
}

TEST_F(ProcessTest, ShowStateKeepsItsLow15BitsAndTheInheritFlagIsPassed) {
  runShellCommand("a", 1, true, false);
  runShellCommand("a", 0x18003, true, true);
  runShellCommand("a", -1, true, false);
  ASSERT_EQ(memoryProcessHost.creations.size(), 3u);
  EXPECT_EQ(memoryProcessHost.creations[0].showWindow, 1);
  EXPECT_FALSE(memoryProcessHost.creations[0].inheritHandles);
  EXPECT_EQ(memoryProcessHost.creations[1].showWindow, 3);
  EXPECT_TRUE(memoryProcessHost.creations[1].inheritHandles);
  EXPECT_EQ(memoryProcessHost.creations[2].showWindow, 0x7FFF);
}

TEST_F(ProcessTest, WaitingGivesTheExitCodeAndClosesBothHandles) {
  memoryProcessHost.children.push_back({.exitCode = 4});
  EXPECT_EQ(runShellCommand("x", 1, true, false), 4);
  EXPECT_EQ(errorNumber(), 0);
  EXPECT_EQ(memoryProcessHost.openHandles, 0);
  const std::vector<std::string> tail(memoryProcessHost.calls.end() - 4,
                                      memoryProcessHost.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"wait", "exit code", "close process", "close thread"}));
}

TEST_F(ProcessTest, WithoutWaitingTheResultIsTheProcessIdentifier) {
  memoryProcessHost.children.push_back({.exitCode = 9, .processId = 777});
  EXPECT_EQ(runShellCommand("x", 1, false, false), 777);
  for (const std::string& call : memoryProcessHost.calls) EXPECT_NE(call, "wait");
  EXPECT_EQ(memoryProcessHost.openHandles, 0);
}

TEST_F(ProcessTest, ACreationThatFailsRaisesTheMappedNumberAndReturns0) {
  for (auto [code, number] : {std::pair{2u, 53},
                              {3u, 76},
                              {5u, 70},
                              {21u, 71},
                              {87u, 5},
                              {8u, 7},
                              {11u, 51},
                              {206u, 75}}) {
    memoryProcessHost.children.push_back({.failWith = code});
    EXPECT_EQ(runShellCommand(" /CXCOPY a b", 1, true, false), 0);
    EXPECT_EQ(takeError(), number) << "code " << code;
  }
  EXPECT_EQ(memoryProcessHost.openHandles, 0);
  for (const std::string& call : memoryProcessHost.calls) {
    EXPECT_NE(call, "wait");
    EXPECT_NE(call.rfind("close", 0), 0u) << "no handle exists to close";
  }
}

TEST_F(ProcessTest, OnlyAFailureWithACodeRaises) {
  memoryProcessHost.children.push_back({.failsWithoutCode = true});
  EXPECT_EQ(runShellCommand("x", 1, true, false), 0);
  EXPECT_EQ(errorNumber(), 0);
  memoryProcessHost.children.push_back({.leavesCode = 183, .exitCode = 3});
  EXPECT_EQ(runShellCommand("x", 1, true, false), 3);
  EXPECT_EQ(errorNumber(), 0);
}

TEST_F(ProcessTest, TheCreationRunsUnderTheLockWithQuietErrorsAndAClearedCode) {
  memoryProcessHost.errorMode = 5;
  memoryProcessHost.lastError = 99;
  runShellCommand("x", 1, true, false);
  const std::vector<std::string> head(memoryProcessHost.calls.begin(),
                                      memoryProcessHost.calls.begin() + 5);
  EXPECT_EQ(head, (std::vector<std::string>{"set error mode 32769", "set last error 0", "create",
                                            "last error", "set error mode 5"}));
  EXPECT_EQ(memoryProcessHost.creations[0].errorModeDuring, 32769u);
  EXPECT_EQ(memoryProcessHost.errorMode, 5u);
  EXPECT_EQ(systemCallLock.load(), 0u);
}

TEST_F(ProcessTest, ASecondCallerSpinsUntilTheLockIsFree) {
  systemCallLock.store(0xFFFFFFFFu);
  std::atomic<bool> done{false};
  std::thread other([&] {
    runShellCommand("x", 1, false, false);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done.load());
  EXPECT_TRUE(memoryProcessHost.calls.empty());
  systemCallLock.store(0);
  other.join();
  EXPECT_TRUE(done.load());
  EXPECT_EQ(memoryProcessHost.creations.size(), 1u);
  EXPECT_EQ(systemCallLock.load(), 0u);
}

TEST_F(ProcessTest, TheLockIsReleasedWhenTheCallCannotBeMade) {
  // A host that runs out of memory copying the text: the lock and the mode must not stay.
  auto failing = [](void*) -> bool { throw std::bad_alloc(); };
  memoryProcessHost.errorMode = 2;
  EXPECT_THROW(guardedSystemCall(failing, nullptr), std::bad_alloc);
  EXPECT_EQ(systemCallLock.load(), 0u);
  EXPECT_EQ(memoryProcessHost.errorMode, 2u);
}

TEST_F(ProcessTest, GetEnvGivesTheWholeValueAndEmptyForUnsetOrEmpty) {
  memoryProcessHost.environment["COMSPEC"] = "C:\\WINDOWS\\system32\\cmd.exe";
  memoryProcessHost.environment["EMPTY"] = "";
  memoryProcessHost.environment["LONG"] = std::string(100000, 'v');
  EXPECT_EQ(getEnv("COMSPEC"), "C:\\WINDOWS\\system32\\cmd.exe");
  EXPECT_EQ(getEnv("EMPTY"), "");
  EXPECT_EQ(getEnv("UNSET"), "");
  EXPECT_EQ(getEnv("LONG").size(), 100000u);
  EXPECT_EQ(errorNumber(), 0);
}

TEST_F(ProcessTest, GetEnvRaises7WhenTheValueCannotBeHeld) {
  memoryProcessHost.environment["COMSPEC"] = "cmd";
  memoryProcessHost.variableCannotBeHeld = true;
  EXPECT_EQ(getEnv("COMSPEC"), "");
  EXPECT_EQ(errorNumber(), 7);
}

}  // namespace
