// The main menu screen by screen on the in-memory host.

#include <gtest/gtest.h>

#include "app/app_test_support.h"
#include "app/golden_screens.h"
#include "app/menu_key.h"
#include "app/program_state.h"
#include "console/grid/cell_grid.h"
#include "editor/field_editor.h"

namespace {

class MainMenuTest : public ::testing::Test {
 protected:
  void SetUp() override { resetForProgramRun(); }
};

TEST_F(MainMenuTest, DrawsTheBannerAndTheBoxInYellowOnCyan) {
  const ProgramRun run = runProgramWithKeys({});
  ASSERT_EQ(run.frames.size(), 1u);
  const Frame& menu = run.frames[0];
  EXPECT_TRUE(showsGoldenScreen(menu, "main_menu"));
  for (int r = 1; r <= 25; ++r) {
    for (int c = 1; c <= 80; ++c) ASSERT_EQ(screenAttribute(r, c), 14 + 3 * 16) << r << "," << c;
  }
  // The newline after row 24 leaves the cursor at the start of row 25.
  EXPECT_EQ(menu.cursorRow, 25);
  EXPECT_EQ(menu.cursorColumn, 1);
  EXPECT_EQ(fieldForeground, 1);
  EXPECT_EQ(fieldBackground, 14);
}

TEST_F(MainMenuTest, LowerCaseXClearsShowsTheCursorAndEndsWith0) {
  screenGrid.cursorVisible = false;
  const ProgramRun run = runProgramWithKeys({[] { typeText("x"); }});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(memoryHost.exitCode, 0);
  EXPECT_TRUE(screenGrid.cursorVisible);
  for (const Cell& c : screenGrid.cells) ASSERT_EQ(c.character, ' ');
  EXPECT_EQ(screenGrid.cursorRow, 0);
  EXPECT_EQ(screenGrid.cursorColumn, 0);
  EXPECT_EQ(memoryHost.beeps, 0);
}

TEST_F(MainMenuTest, KeysThatAreNoEntryBeepAndRedraw) {
  const ProgramRun run = runProgramWithKeys({
      [] { pressKey(72); },      // Up
      [] { pressKey(59); },      // F1
      [] { typeText("\x01"); },  // Ctrl+A
      [] { typeText("?"); },
      [] {
        pushEvent(KeyEvent{KeyEventKind::key, true, 1, 30, 'a', 0x0002});
      },  // Alt+A
      [] { typeText("X"); },
  });
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(memoryHost.beeps, 5);
  ASSERT_EQ(run.frames.size(), 6u);
  for (const Frame& f : run.frames) EXPECT_TRUE(showsGoldenScreen(f, "main_menu"));
}

TEST_F(MainMenuTest, KeysTypedAheadAreDiscardedAtTheRedraw) {
  const ProgramRun run = runProgramWithKeys({
      [] {
        pressKey(80);   // Down: beeps, then the menu redraws
        typeText("x");  // typed ahead: must not end the program
      },
  });
  EXPECT_EQ(run.exitCode, -1);
  EXPECT_EQ(memoryHost.beeps, 1);
  EXPECT_GE(memoryHost.flushes, 2);
  EXPECT_EQ(mainMenuKey, std::string("\0\x50", 2));
}

TEST(MenuKey, UpperCasingIsByteByByte) {
  EXPECT_EQ(upperCaseKey("x"), "X");
  EXPECT_EQ(upperCaseKey("Q"), "Q");
  EXPECT_EQ(upperCaseKey("5"), "5");
  EXPECT_EQ(upperCaseKey(std::string("\0\x48", 2)), std::string("\0\x48", 2));
  EXPECT_EQ(upperCaseKey("\x84\x94\x81\x82\xA4\x86\x87"), "\x8E\x99\x9A\x90\xA5\x8F\x80");
  EXPECT_EQ(upperCaseKey("\xE1"), "\xE1");  // ß has no capital here
  EXPECT_EQ(upperCaseKey(""), "");
}

}  // namespace
