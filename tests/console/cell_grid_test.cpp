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

TEST(CellGridWindow, TheBufferIsTheDisplaysSizeButNeverBelow80By25) {
  CellGrid grid = gridWithText();
  fitWindow(grid, 100, 30);
  EXPECT_EQ(grid.width, 100);
  EXPECT_EQ(grid.height, 30);
  EXPECT_EQ(cellAt(grid, 0, 0).character, 'A');
  EXPECT_EQ(cellAt(grid, 24, 79).character, 'd');
  // New cells are blanks in the default attribute.
  EXPECT_EQ(cellAt(grid, 29, 99), (Cell{' ', 0x3E}));
  EXPECT_EQ(cellAt(grid, 0, 80), (Cell{' ', 0x3E}));

  fitWindow(grid, 90, 40);
  EXPECT_EQ(grid.width, 90);
  EXPECT_EQ(grid.height, 40);
  fitWindow(grid, 20, 5);
  EXPECT_EQ(grid.width, 80);
  EXPECT_EQ(grid.height, 25);
  EXPECT_EQ(cellAt(grid, 0, 0).character, 'A');
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

// A menu drawn on a larger display and the display shrunk past 80 x 25 and grown back: at
// 80 x 25 the window is the whole buffer again, from row 1.
TEST(CellGridWindow, AfterALargerDisplayEverySizeFrom80By25ShowsTheScreenFromRow1) {
  CellGrid grid;
  resizeGrid(grid, 120, 40);
  cellAt(grid, 0, 4) = Cell{'C', 0x3E};
  grid.cursorRow = 24;
  grid.cursorColumn = 0;
  const int32_t sizes[][2] = {{80, 25}, {60, 20}, {80, 25}, {100, 30}, {80, 25}};
  for (const auto& size : sizes) {
    fitWindow(grid, size[0], size[1]);
    const bool whole = size[0] >= 80 && size[1] >= 25;
    EXPECT_EQ(grid.width, whole ? size[0] : 80);
    EXPECT_EQ(grid.height, whole ? size[1] : 25);
    EXPECT_EQ(grid.windowTop, whole ? 0 : 5) << size[0] << "x" << size[1];
    EXPECT_EQ(grid.windowLeft, 0);
    EXPECT_EQ(cellAt(grid, 0, 4).character, 'C');
  }
}

// The output of a command down to row 40 and its pause on the last row: a display shrunk to
// 25 rows keeps the pause and the 24 rows above it.
TEST(CellGridWindow, AShrinkThatWouldCutTheCursorsRowOffGivesUpTheRowsAboveInstead) {
  CellGrid grid;
  resizeGrid(grid, 80, 40);
  for (int32_t row = 0; row < 40; ++row) cellAt(grid, row, 0) = Cell{uint8_t('0' + row), 7};
  grid.cursorRow = 39;
  grid.cursorColumn = 5;
  fitWindow(grid, 80, 25);
  EXPECT_EQ(grid.height, 25);
  EXPECT_EQ(grid.cursorRow, 24);
  EXPECT_EQ(grid.cursorColumn, 5);
  EXPECT_EQ(cellAt(grid, 0, 0).character, '0' + 15);
  EXPECT_EQ(cellAt(grid, 24, 0).character, '0' + 39);

  // The cursor high up: what fits stays where it is.
  grid.cursorRow = 3;
  fitWindow(grid, 80, 20);
  EXPECT_EQ(cellAt(grid, 0, 0).character, '0' + 15);
}

// Where the window stands depends on the cursor alone: as near the top left as showing the
// cursor allows, however the window got where it was.
TEST(CellGridWindow, TheWindowShowsTheCursorAsNearTheTopLeftAsItCan) {
  CellGrid grid = gridWithText();
  fitWindow(grid, 40, 10);
  struct Case {
    int32_t row, column, top, left;
  };
  const Case cases[] = {
      {5, 39, 0, 0},     // inside the window at the top left
      {12, 50, 3, 11},   // the cursor in the window's last row and column
      {8, 20, 0, 0},     // back up: the top left again, not where the window stood
      {24, 0, 15, 0},    // the bottom row of the buffer
      {24, 79, 15, 40},  // its last cell
      {1, 2, 0, 0},
  };
  for (const Case& c : cases) {
    grid.cursorRow = c.row;
    grid.cursorColumn = c.column;
    followCursor(grid);
    EXPECT_EQ(grid.windowTop, c.top) << c.row << "," << c.column;
    EXPECT_EQ(grid.windowLeft, c.left) << c.row << "," << c.column;
  }
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
