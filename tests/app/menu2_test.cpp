// Menu II screen by screen on the in-memory host.

#include <gtest/gtest.h>

#include "app/app_test_support.h"
#include "app/golden_screens.h"
#include "app/program_state.h"
#include "console/grid/cell_grid.h"
#include "console/memory/memory_process_host.h"

namespace {

class Menu2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    resetForProgramRun();
    memoryProcessHost.environment["COMSPEC"] = "cmd";
  }
};

TEST_F(Menu2Test, LowerCaseAOpensItDrawnInYellowOnCyan) {
  const ProgramRun run = runProgramWithKeys({[] { typeText("a"); }});
  ASSERT_EQ(run.frames.size(), 2u);
  const Frame& menu = run.frames[1];
  EXPECT_TRUE(showsGoldenScreen(menu, "menu2"));
  for (int r = 1; r <= 25; ++r) {
    for (int c = 1; c <= 80; ++c) ASSERT_EQ(screenAttribute(r, c), 14 + 3 * 16) << r << "," << c;
  }
  EXPECT_EQ(menu.cursorRow, 25);
  EXPECT_EQ(mainMenuKey, "A");
}

TEST_F(Menu2Test, ItsOwnTableAndKeyAreUsedNotTheMainMenus) {
  const ProgramRun run = runProgramWithKeys({
      [] { typeText("a"); }, [] { typeText("p"); },  // PBall here, not the main menu's Pictures
      [] { typeText(" "); }, [] { typeText("A"); },  // no entry here: beeps
  });
  ASSERT_EQ(memoryProcessHost.creations.size(), 1u);
  EXPECT_EQ(memoryProcessHost.creations[0].text, "cmd /CXCOPY PBall PBall /S /D /I /Y");
  EXPECT_EQ(menu2Key, "A");
  EXPECT_EQ(mainMenuKey, "A");
  EXPECT_EQ(memoryHost.beeps, 1);
  ASSERT_EQ(run.frames.size(), 5u);
  EXPECT_EQ(trimmedRow(run.frames[2].rows[0]), "Press a key to continue ...");
  EXPECT_TRUE(showsGoldenScreen(run.frames[3], "menu2")) << "Menu II redraws after a job";
  EXPECT_TRUE(showsGoldenScreen(run.frames[4], "menu2"));
}

TEST_F(Menu2Test, LowerCaseXGoesBackToAFreshMainMenuWithTheCursorOn) {
  screenGrid.cursorVisible = false;
  const ProgramRun run = runProgramWithKeys({
      [] { typeText("a"); },
      [] {
        typeText("x");
        typeText("x");  // typed ahead: the main menu discards it when it redraws
      },
  });
  EXPECT_EQ(run.exitCode, -1);
  ASSERT_EQ(run.frames.size(), 3u);
  EXPECT_TRUE(showsGoldenScreen(run.frames[2], "main_menu"));
  EXPECT_TRUE(screenGrid.cursorVisible);
  EXPECT_EQ(menu2Key, "X");
  EXPECT_EQ(memoryHost.beeps, 0);
}

TEST_F(Menu2Test, AnErrorInMenu2NeverReachesTheMainMenusPage) {
  memoryProcessHost.children.push_back({.failWith = 2});
  int32_t shown = -1;
  const ProgramRun run = runProgramWithKeys({
      [] { typeText("a"); }, [] { typeText("h"); },
      [&] {
        shown = lastError;
        typeText(" ");  // leaves the 53 page: Menu II again
      },
      [] { typeText("x"); },  // back to the main menu
      [] { typeText("x"); },  // and out
  });
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.frames.size(), 5u);
  EXPECT_TRUE(showsGoldenScreen(run.frames[3], "menu2"));
  EXPECT_TRUE(showsGoldenScreen(run.frames[4], "main_menu"));
  EXPECT_EQ(shown, 53);
}

}  // namespace
