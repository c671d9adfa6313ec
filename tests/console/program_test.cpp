// The program's start and end around the main procedure.

#include <gtest/gtest.h>

#include "console/memory/memory_host.h"
#include "console/program.h"

namespace {

TEST(CommandTail, ProgramNameAndBlanksAfterItAreCut) {
  EXPECT_EQ(commandTail("harrowkeeps.exe"), "");
  EXPECT_EQ(commandTail("harrowkeeps.exe   a b "), "a b ");
  EXPECT_EQ(commandTail("\"C:\\Program Files\\hk.exe\" /x"), "/x");
  EXPECT_EQ(commandTail("\"C:\\Program Files\\hk.exe\"/x"), "/x");
  EXPECT_EQ(commandTail("hk.exe\tnext"), "\tnext");  // a tab ends the name but only blanks go
  EXPECT_EQ(commandTail("\"never closed a b"), "");
  EXPECT_EQ(commandTail(""), "");
}

TEST(ProgramLifecycle, StepsRunInOrderAndTheExitCodeIs0) {
  resetMemoryHost();
  memoryHost.beforeWait = [] { typeText("x"); };  // keys typed before the menu is up are dropped
  EXPECT_EQ(runProgram(), 0);
  memoryHost.beforeWait = nullptr;
  const std::vector<std::string> expected = {
      "initialize components",    "prepare console",     "read version",
      "read startup information", "read command line",   "module handle",
      "reserve thread storage",   "close console input", "release thread storage",
      "uninitialize components",  "end process"};
  EXPECT_EQ(memoryHost.lifecycle, expected);
  EXPECT_EQ(memoryHost.exitCode, 0);
}

TEST(ProgramLifecycle, WithoutThreadStorageItEndsWith255BeforeTheApplication) {
  resetMemoryHost();
  memoryHost.threadStorageFails = true;
  typeText("x");
  EXPECT_EQ(runProgram(), 255);
  EXPECT_EQ(memoryHost.exitCode, 255);
  EXPECT_EQ(memoryHost.lifecycle.back(), "end process");
  EXPECT_EQ(memoryHost.lifecycle[memoryHost.lifecycle.size() - 2], "uninitialize components");
  EXPECT_EQ(memoryHost.events.size(), 2u);  // the main menu never read its key
}

}  // namespace
