// The screen operations on an 80 x 25 in-memory console.

#include <gtest/gtest.h>

#include "console/grid/cell_grid.h"
#include "console/memory/memory_host.h"
#include "console/screen.h"

namespace {

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetMemoryHost();
    screenState = ScreenState{};
    resetScreenDefaults();
  }
  static ScreenPosition at() { return cursorPosition(); }
  static char charAt(int row, int column) {
    return static_cast<char>(cellAt(screenGrid, row - 1, column - 1).character);
  }
};

TEST_F(ScreenTest, LocateJudgesEachCoordinateOnItsOwn) {
  locate(10, 20);
  locate(0, 2);
  EXPECT_EQ(at().row, 10);
  EXPECT_EQ(at().column, 2);
  locate(5, 0);
  EXPECT_EQ(at().row, 5);
  EXPECT_EQ(at().column, 2);
  locate(99, 99);
  EXPECT_EQ(at().row, 5);
  EXPECT_EQ(at().column, 2);
  locate(-3, 81);
  EXPECT_EQ(at().row, 5);
  EXPECT_EQ(at().column, 2);
}

TEST_F(ScreenTest, LocateOutsideStillCancelsAPendingWrap) {
  locate(25, 1);
  printText(std::string(80, 'a'));
  ASSERT_TRUE(screenState.pendingWrap);
  locate(99, 99);
  EXPECT_FALSE(screenState.pendingWrap);
  EXPECT_EQ(at().row, 25);
  EXPECT_EQ(at().column, 1);
}

TEST_F(ScreenTest, FullRowWrapsToNextRowAndNewlineSkipsOne) {
  locate(5, 1);
  printText(std::string(80, 'x'));
  EXPECT_EQ(at().row, 6);
  EXPECT_EQ(at().column, 1);
  EXPECT_FALSE(screenState.pendingWrap);
  printNewline();
  EXPECT_EQ(at().row, 7);
  EXPECT_EQ(at().column, 1);
}

TEST_F(ScreenTest, BottomRowOwesItsScrollToTheNextCharacter) {
  locate(25, 1);
  printText(std::string(80, 'b'));
  EXPECT_EQ(at().row, 25);
  EXPECT_EQ(at().column, 1);
  EXPECT_TRUE(screenState.pendingWrap);
  EXPECT_EQ(charAt(25, 80), 'b');

  printText("c");
  EXPECT_EQ(charAt(24, 1), 'b');
  EXPECT_EQ(charAt(24, 80), 'b');
  EXPECT_EQ(charAt(25, 1), 'c');
  EXPECT_EQ(charAt(25, 2), ' ');
  EXPECT_EQ(at().column, 2);
  EXPECT_FALSE(screenState.pendingWrap);
}

TEST_F(ScreenTest, EightyOneAtOnceEqualsEightyThenOne) {
  locate(25, 1);
  printText(std::string(80, 'b') + "c");
  const auto once = screenGrid.cells;
  const auto onceCursor = at();

  resetMemoryHost();
  screenState = ScreenState{};
  locate(25, 1);
  printText(std::string(80, 'b'));
  printText("c");
  EXPECT_EQ(screenGrid.cells, once);
  EXPECT_EQ(at().row, onceCursor.row);
  EXPECT_EQ(at().column, onceCursor.column);
}

TEST_F(ScreenTest, NewlineWithWrapPendingScrollsTwice) {
  locate(24, 1);
  printText("upper");
  locate(25, 1);
  printText(std::string(80, 'b'));
  printNewline();
  EXPECT_EQ(charAt(22, 1), 'u');
  EXPECT_EQ(charAt(23, 1), 'b');
  EXPECT_EQ(charAt(24, 1), ' ');
  EXPECT_EQ(charAt(25, 1), ' ');
  EXPECT_EQ(at().row, 25);
  EXPECT_EQ(at().column, 1);
  EXPECT_FALSE(screenState.pendingWrap);
}

TEST_F(ScreenTest, EmptyTextKeepsAPendingWrapPending) {
  locate(25, 1);
  printText(std::string(80, 'b'));
  printText("");
  EXPECT_TRUE(screenState.pendingWrap);
  EXPECT_EQ(charAt(25, 1), 'b');
  EXPECT_EQ(at().row, 25);
}

TEST_F(ScreenTest, NewlineAboveTheBottomScrollsNothing) {
  locate(3, 7);
  printText("keep");
  locate(10, 5);
  printNewline();
  EXPECT_EQ(charAt(3, 7), 'k');
  EXPECT_EQ(at().row, 11);
  EXPECT_EQ(at().column, 1);
}

TEST_F(ScreenTest, ScrollFillsTheBottomRowInTheCurrentColours) {
  setColor(14, 3, 0);
  locate(25, 1);
  printNewline();
  EXPECT_EQ(screenAttribute(25, 1), 3 * 16 + 14);
  EXPECT_EQ(screenAttribute(25, 80), 3 * 16 + 14);
}

TEST_F(ScreenTest, ControlBytesAreGlyphsNotActions) {
  locate(4, 10);
  printText(std::string("\x10\n\r\t\a", 5));
  EXPECT_EQ(at().row, 4);
  EXPECT_EQ(at().column, 15);
  EXPECT_EQ(screenRow(4).substr(9, 3), "►");
  EXPECT_EQ(charAt(4, 11), '\n');
}

TEST_F(ScreenTest, SetColorRangesAreJudgedSeparately) {
  setColor(14, 3, 0);
  setColor(16, 1, 0);
  EXPECT_EQ(screenState.currentForeground, 14);
  EXPECT_EQ(screenState.currentBackground, 1);
  screenGrid.defaultAttribute = 0;
  setColor(-1, -1, 0);
  EXPECT_EQ(currentAttribute(), 1 * 16 + 14);
  EXPECT_EQ(screenGrid.defaultAttribute, 1 * 16 + 14);  // set again although unchanged
}

TEST_F(ScreenTest, RecolourRunsFromTheCursorWithoutMovingIt) {
  locate(21, 25);
  printText("abc");
  locate(21, 25);
  setColor(15, 1, 20);
  for (int c = 25; c <= 44; ++c) EXPECT_EQ(screenAttribute(21, c), 0x1F) << c;
  EXPECT_EQ(screenAttribute(21, 45), 7);
  EXPECT_EQ(screenAttribute(21, 24), 7);
  EXPECT_EQ(charAt(21, 25), 'a');
  EXPECT_EQ(at().row, 21);
  EXPECT_EQ(at().column, 25);
}

TEST_F(ScreenTest, RecolourRunsOnIntoTheNextRowsAndStopsAtTheBuffer) {
  locate(1, 75);
  setColor(2, 0, 10);
  EXPECT_EQ(screenAttribute(1, 80), 2);
  EXPECT_EQ(screenAttribute(2, 4), 2);
  EXPECT_EQ(screenAttribute(2, 5), 7);
  locate(25, 78);
  setColor(4, 0, 50);
  EXPECT_EQ(screenAttribute(25, 80), 4);
}

TEST_F(ScreenTest, RecolourCountOutsideTheWindowRecoloursNothing) {
  locate(1, 1);
  setColor(4, 2, 80 * 25 + 1);
  EXPECT_EQ(screenAttribute(1, 1), 7);
  EXPECT_EQ(currentAttribute(), 2 * 16 + 4);
  setColor(5, 2, 0);
  setColor(5, 2, -4);
  EXPECT_EQ(screenAttribute(1, 1), 7);
  setColor(5, 2, 80 * 25);
  EXPECT_EQ(screenAttribute(25, 80), 2 * 16 + 5);
}

TEST_F(ScreenTest, ClearScreenFillsEveryCellAndHomesTheCursor) {
  locate(25, 1);
  printText(std::string(80, 'z'));
  setColor(14, 3, 0);
  clearScreen();
  EXPECT_FALSE(screenState.pendingWrap);
  EXPECT_EQ(at().row, 1);
  EXPECT_EQ(at().column, 1);
  for (const Cell& c : screenGrid.cells) {
    ASSERT_EQ(c.character, ' ');
    ASSERT_EQ(c.attribute, 62);
  }
  EXPECT_EQ(cellAttribute(1, 1), 62);
  EXPECT_EQ(cellAttribute(0, 1), 62);
}

TEST_F(ScreenTest, ClearScreenKeepsAHiddenCursorHidden) {
  setCursor(0);
  clearScreen();
  EXPECT_FALSE(screenGrid.cursorVisible);
  setCursor(-1);
  clearScreen();
  EXPECT_TRUE(screenGrid.cursorVisible);
}

TEST_F(ScreenTest, CellAttributeRowZeroIsTheCurrentAttribute) {
  setColor(14, 3, 0);
  EXPECT_EQ(cellAttribute(0, 1), 62);
  EXPECT_EQ(cellAttribute(1, 1), 7);  // the cell itself was never drawn in these colours
}

TEST_F(ScreenTest, CursorSizesAreClampedAndVisibilityIsSeparate) {
  setCursor(5);
  EXPECT_EQ(screenState.cursorSize, 10);
  setCursor(100);
  EXPECT_EQ(screenState.cursorSize, 99);
  EXPECT_EQ(screenGrid.cursorSize, 99);
  setCursor(0);
  EXPECT_FALSE(screenGrid.cursorVisible);
  EXPECT_EQ(screenGrid.cursorSize, 99);
  setCursor(-1);
  EXPECT_TRUE(screenGrid.cursorVisible);
  EXPECT_EQ(screenGrid.cursorSize, 99);
  setCursor(50);
  EXPECT_EQ(screenGrid.cursorSize, 50);
}

TEST_F(ScreenTest, NumbersHaveASignPositionAndATrailingSpace) {
  EXPECT_EQ(numberText(53), " 53 ");
  EXPECT_EQ(numberText(0), " 0 ");
  EXPECT_EQ(numberText(-7), "-7 ");
  EXPECT_EQ(numberText(2147483647), " 2147483647 ");
  EXPECT_EQ(numberText(-2147483648.0), "-2147483648 ");
  EXPECT_EQ(numberText(999999999999999.0), " 999999999999999 ");
  EXPECT_EQ(numberText(1.5), " 1.5 ");
  locate(18, 59);
  printNumber(53);
  EXPECT_EQ(screenRow(18).substr(58, 4), " 53 ");
  EXPECT_EQ(at().column, 63);
}

TEST_F(ScreenTest, NarrowScreenWrapsTheBoxLines) {
  resetMemoryHost(40, 10);
  locate(3, 2);
  printText(std::string(78, '='));
  EXPECT_EQ(at().row, 4);
  EXPECT_EQ(at().column, 40);
  EXPECT_EQ(charAt(3, 40), '=');
  EXPECT_EQ(charAt(4, 39), '=');
  EXPECT_EQ(charAt(4, 40), ' ');
}

// A terminal smaller than the screen shows a window on it: the operations still work on the
// whole buffer, and only the recolouring is bounded by the window.
TEST_F(ScreenTest, ASmallWindowBoundsTheRecolourAndNothingElse) {
  fitWindow(screenGrid, 40, 10);
  ASSERT_EQ(screenSize().width, 80);
  ASSERT_EQ(screenSize().height, 25);
  EXPECT_EQ(windowSize().width, 40);
  EXPECT_EQ(windowSize().height, 10);

  locate(1, 1);
  setColor(4, 2, 40 * 10 + 1);
  EXPECT_EQ(screenAttribute(1, 1), 7);
  setColor(4, 2, 40 * 10);
  EXPECT_EQ(screenAttribute(5, 80), 2 * 16 + 4);
  EXPECT_EQ(screenAttribute(6, 1), 7);

  setColor(14, 3, 0);
  clearScreen();
  EXPECT_EQ(screenAttribute(25, 80), 3 * 16 + 14);

  locate(10, 1);
  printNewline();  // the window's bottom row is no screen edge
  EXPECT_EQ(at().row, 11);
  locate(25, 80);
  printText("x");
  EXPECT_EQ(charAt(25, 80), 'x');
  EXPECT_TRUE(screenState.pendingWrap);
}

}  // namespace
