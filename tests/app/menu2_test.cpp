// Menu II screen by screen on the in-memory host.

#include <gtest/gtest.h>

#include "app/app_test_support.h"
#include "app/program_state.h"
#include "console/grid/cell_grid.h"
#include "console/memory/memory_process_host.h"

namespace {

const std::vector<std::string> expectedMenu2 = {
    "                                     II",
    "",
    "         This is Menu II of the best backup program based on XCOPY.",
    "",
    "",
    "              For more info, read: http://www.harrowkeeps.net/backup.htm",
    "",
    "",
    "",
    " ╒════════════════════════════════════════════════════════════════════════════╕",
    " │                           Select the function:                             │",
    " ├───┬───────────────────────────────┬┬───┬───────────────────────────────────┤",
    " │ 5 │ Update C:\\Lotto5 to J:\\Lotto5 ││ 3 │ Update C:\\Pick3 to J:\\Pick3       │",
    " ├───┼───────────────────────────────┤├───┼───────────────────────────────────┤",
    " │ 6 │ Update C:\\Lotto6 to J:\\Lotto6 ││ 4 │ Update C:\\Pick4 to J:\\Pick4       │",
    " ├───┼───────────────────────────────┤├───┼───────────────────────────────────┤",
    " │ P │ Update C:\\PBall to J:\\PBall   ││ Q │ Update C:\\Quinto5 Files to J:     │",
    " ├───┼───────────────────────────────┤├───┼───────────────────────────────────┤",
    " │ R │ Update C:\\Roulette to J:\\     ││ H │ Update C:\\Horses to J:\\Horses     │",
    " ├───┼───────────────────────────────┤├───┼───────────────────────────────────┤",
    " │ S │ Update C:\\Sports Files to J:  ││ G │ Generalized Backup - User-input   │",
    " ╘═══╧════════════════╤═══╤══════════╧╧═══╧══════════════════╤════════════════╛",
    "                      │ X │ Return to Main Menu              │",
    "                      ╘═══╧══════════════════════════════════╛",
    "",
};

std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

bool isMainMenu(const Frame& f) {
  return f.rows[1].find("Harrowkeeps.EXE") != std::string::npos;
}

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
  for (size_t r = 0; r < expectedMenu2.size(); ++r) {
    EXPECT_EQ(trimmed(menu.rows[r]), expectedMenu2[r]) << "row " << r + 1;
  }
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
  EXPECT_EQ(trimmed(run.frames[2].rows[0]), "Press a key to continue ...");
  EXPECT_EQ(trimmed(run.frames[3].rows[0]), expectedMenu2[0]) << "Menu II redraws after a job";
  EXPECT_EQ(trimmed(run.frames[4].rows[0]), expectedMenu2[0]);
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
  EXPECT_TRUE(isMainMenu(run.frames[2]));
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
  EXPECT_EQ(trimmed(run.frames[3].rows[0]), expectedMenu2[0]);
  EXPECT_TRUE(isMainMenu(run.frames[4]));
  EXPECT_EQ(shown, 53);
}

}  // namespace
