// The screen buffer and the window a terminal shows of it.

#include <gtest/gtest.h>

#include <string_view>

#include "console/grid/cell_grid.h"

namespace {

CellGrid gridWithText() {
  CellGrid grid;
  grid.cells.assign(80 * 25, Cell{' ', 0x3E});
  grid.defaultAttribute = 0x3E;
  const std::string_view corner = "end";
  for (size_t i = 0; i < corner.size(); ++i) {
    cellAt(grid, 24, static_cast<int32_t>(77 + i)) = Cell{static_cast<uint8_t>(corner[i]), 0x3E};
  }
  cellAt(grid, 0, 0) = Cell{'A', 0x3E};
  return grid;
}

TEST(CellGridWindow, ShrinkingKeepsEveryCellAndGrowingBackShowsThemAgain) {
  CellGrid grid = gridWithText();
  const std::vector<Cell> before = grid.cells;
  grid.cursorRow = 24;
  grid.cursorColumn = 0;

  fitWindow(grid, 60, 20);
  EXPECT_EQ(grid.width, 80);
  EXPECT_EQ(grid.height, 25);
  EXPECT_EQ(grid.cells, before);
  EXPECT_EQ(grid.windowWidth, 60);
  EXPECT_EQ(grid.windowHeight, 20);
  // The cursor on the bottom row: the window shows the lowest 20 rows, from the left edge.
  EXPECT_EQ(grid.windowTop, 5);
  EXPECT_EQ(grid.windowLeft, 0);

  fitWindow(grid, 80, 25);
  EXPECT_EQ(grid.cells, before);
  EXPECT_EQ(grid.windowTop, 0);
  EXPECT_EQ(grid.windowLeft, 0);
}

TEST(CellGridWindow, TheBufferGrowsWithTheDisplayAndNeverShrinks) {
  CellGrid grid = gridWithText();
  fitWindow(grid, 100, 30);
  EXPECT_EQ(grid.width, 100);
  EXPECT_EQ(grid.height, 30);
  EXPECT_EQ(cellAt(grid, 0, 0).character, 'A');
  EXPECT_EQ(cellAt(grid, 24, 79).character, 'd');
  // New cells are blanks in the default attribute.
  EXPECT_EQ(cellAt(grid, 29, 99), (Cell{' ', 0x3E}));
  EXPECT_EQ(cellAt(grid, 0, 80), (Cell{' ', 0x3E}));

  fitWindow(grid, 90, 40);  // taller, narrower: only the height grows
  EXPECT_EQ(grid.width, 100);
  EXPECT_EQ(grid.height, 40);
  fitWindow(grid, 20, 5);
  EXPECT_EQ(grid.width, 100);
  EXPECT_EQ(grid.height, 40);
  EXPECT_EQ(cellAt(grid, 24, 79).character, 'd');
}

TEST(CellGridWindow, ATinyFirstDisplayStillGetsTheScreenTheMenusNeed) {
  CellGrid grid;
  resizeGrid(grid, 30, 8);  // as small as a console could be made
  fitWindow(grid, 30, 8);
  EXPECT_EQ(grid.width, 80);
  EXPECT_EQ(grid.height, 25);
  EXPECT_EQ(grid.windowWidth, 30);
  EXPECT_EQ(grid.windowHeight, 8);
}

TEST(CellGridWindow, TheWindowMovesAsLittleAsItTakesToShowTheCursor) {
  CellGrid grid = gridWithText();
  fitWindow(grid, 40, 10);
  ASSERT_EQ(grid.windowTop, 0);
  ASSERT_EQ(grid.windowLeft, 0);

  grid.cursorRow = 5;
  grid.cursorColumn = 39;
  followCursor(grid);
  EXPECT_EQ(grid.windowTop, 0);  // still inside: nothing moves
  EXPECT_EQ(grid.windowLeft, 0);

  grid.cursorColumn = 50;
  grid.cursorRow = 12;
  followCursor(grid);
  EXPECT_EQ(grid.windowLeft, 11);  // the cursor in the last column of the window
  EXPECT_EQ(grid.windowTop, 3);    // and in its last row

  grid.cursorColumn = 20;
  grid.cursorRow = 8;
  followCursor(grid);
  EXPECT_EQ(grid.windowLeft, 11);  // still inside from where the window stands
  EXPECT_EQ(grid.windowTop, 3);

  grid.cursorColumn = 2;
  grid.cursorRow = 1;
  followCursor(grid);
  EXPECT_EQ(grid.windowLeft, 2);
  EXPECT_EQ(grid.windowTop, 1);
}

TEST(CellGridWindow, GrowingTheDisplayKeepsTheWindowInsideTheBuffer) {
  CellGrid grid = gridWithText();
  grid.cursorRow = 24;
  grid.cursorColumn = 79;
  fitWindow(grid, 40, 10);
  EXPECT_EQ(grid.windowLeft, 40);
  EXPECT_EQ(grid.windowTop, 15);
  fitWindow(grid, 70, 20);
  EXPECT_EQ(grid.windowLeft, 10);
  EXPECT_EQ(grid.windowTop, 5);
  EXPECT_LE(grid.windowLeft + grid.windowWidth, grid.width);
  EXPECT_LE(grid.windowTop + grid.windowHeight, grid.height);
}

}  // namespace
