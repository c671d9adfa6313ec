// Drawing the cell grid on a terminal by difference.

#include <gtest/gtest.h>

#include "console/posix/terminal_renderer.h"

namespace {

CellGrid blankGrid(uint8_t attribute = 0x3E) {
  CellGrid grid;
  grid.cells.assign(80 * 25, Cell{' ', attribute});
  return grid;
}

void put(CellGrid& grid, int row, int column, std::string_view text, uint8_t attribute = 0x3E) {
  for (char c : text) cellAt(grid, row, column++) = Cell{static_cast<uint8_t>(c), attribute};
}

TEST(TerminalRenderer, WindowsColoursMapToAnsi) {
  EXPECT_EQ(attributeSequence(0x3E), "\x1b[0;93;46m");  // yellow on cyan
  EXPECT_EQ(attributeSequence(0x07), "\x1b[0;37;40m");
  EXPECT_EQ(attributeSequence(0xE1), "\x1b[0;34;103m");  // blue on yellow
  EXPECT_EQ(attributeSequence(0x0F), "\x1b[0;97;40m");
  EXPECT_EQ(attributeSequence(0xF0), "\x1b[0;30;107m");
  EXPECT_EQ(attributeSequence(0x4C), "\x1b[0;91;41m");
}

TEST(TerminalRenderer, FirstFrameClearsInTheCommonestColourAndDrawsTheRest) {
  CellGrid grid = blankGrid();
  put(grid, 5, 1, "\xD5\xCD\xB8");
  put(grid, 0, 0, "\x10\xF8");
  TerminalView view;
  std::string out;
  renderFrame(grid, view, false, out);
  EXPECT_EQ(out.find("\x1b[?25l\x1b[0;93;46m\x1b[H\x1b[2J"), 0u);
  EXPECT_NE(out.find("►°"), std::string::npos);
  EXPECT_NE(out.find("\x1b[6;2H╒═╕"), std::string::npos);
  EXPECT_LT(out.size(), 80u);
}

TEST(TerminalRenderer, UnchangedGridSendsNothing) {
  CellGrid grid = blankGrid();
  put(grid, 10, 10, "menu");
  TerminalView view;
  std::string out;
  renderFrame(grid, view, false, out);
  out.clear();
  renderFrame(grid, view, false, out);
  EXPECT_EQ(out, "");
}

TEST(TerminalRenderer, OnlyChangedCellsGoOutAndTheCursorIsPlacedLast) {
  CellGrid grid = blankGrid();
  TerminalView view;
  std::string out;
  renderFrame(grid, view, false, out);
  out.clear();
  put(grid, 6, 50, "D", 0x3E);
  grid.cursorRow = 7;
  grid.cursorColumn = 0;
  renderFrame(grid, view, false, out);
  EXPECT_EQ(out, "\x1b[?25l\x1b[7;51HD\x1b[8;1H\x1b[?25h");
}

TEST(TerminalRenderer, NearbyChangesAreJoinedInOneRun) {
  CellGrid grid = blankGrid();
  TerminalView view;
  std::string out;
  renderFrame(grid, view, false, out);
  out.clear();
  grid.cursorVisible = false;
  renderFrame(grid, view, false, out);
  out.clear();
  put(grid, 0, 0, "a");
  put(grid, 0, 3, "b");
  put(grid, 0, 70, "c");
  renderFrame(grid, view, false, out);
  EXPECT_EQ(out, "a  b\x1b[1;71Hc\x1b[1;1H");
}

TEST(TerminalRenderer, CursorShapeBeepAndVisibility) {
  CellGrid grid = blankGrid();
  TerminalView view;
  std::string out;
  grid.cursorSize = 10;
  renderFrame(grid, view, true, out);
  EXPECT_NE(out.find("\x1b[3 q"), std::string::npos);
  EXPECT_EQ(out.back(), '\a');
  out.clear();
  grid.cursorSize = 99;
  grid.cursorVisible = false;
  renderFrame(grid, view, false, out);
  EXPECT_EQ(out, "\x1b[1 q\x1b[?25l");

  // After a stop the terminal's own shape and a shown cursor are back: a frame drawn afresh
  // asks for the screen's, hidden or shown.
  for (const bool visible : {false, true}) {
    grid.cursorVisible = visible;
    renderFrame(grid, view, false, out);
    view.known = false;
    out.clear();
    renderFrame(grid, view, false, out);
    EXPECT_NE(out.find("\x1b[1 q"), std::string::npos);
    EXPECT_EQ(out.rfind("\x1b[?25h") != std::string::npos &&
                  out.rfind("\x1b[?25h") > out.rfind("\x1b[?25l"),
              visible);
  }
}

TEST(TerminalRenderer, AResizeRedrawsEverything) {
  CellGrid grid = blankGrid();
  put(grid, 0, 0, "x");
  TerminalView view;
  std::string out;
  renderFrame(grid, view, false, out);
  resizeGrid(grid, 100, 30);
  out.clear();
  renderFrame(grid, view, false, out);
  EXPECT_NE(out.find("\x1b[2J"), std::string::npos);
  EXPECT_NE(out.find('x'), std::string::npos);
}

TEST(TerminalRenderer, AWindowIsDrawnFromTheTerminalsTopLeftWithTheCursorInIt) {
  CellGrid grid = blankGrid();
  put(grid, 20, 10, "seen");
  put(grid, 2, 2, "hidden");
  grid.cursorRow = 22;
  grid.cursorColumn = 12;
  fitWindow(grid, 30, 10);  // rows 13 to 22 and columns 0 to 29 of the buffer
  ASSERT_EQ(grid.windowTop, 13);
  TerminalView view;
  std::string out;
  renderFrame(grid, view, false, out);
  EXPECT_EQ(view.width, 30);
  EXPECT_EQ(view.height, 10);
  EXPECT_NE(out.find("\x1b[8;11Hseen"), std::string::npos);
  EXPECT_EQ(out.find("hidden"), std::string::npos);
  EXPECT_NE(out.find("\x1b[10;13H"), std::string::npos);
  EXPECT_EQ(view.cursorRow, 9);
  EXPECT_EQ(view.cursorColumn, 12);
}

TEST(TerminalRenderer, AMovedWindowRedrawsOnlyWhatDiffers) {
  CellGrid grid = blankGrid();
  put(grid, 24, 0, "bottom");
  fitWindow(grid, 80, 20);
  TerminalView view;
  std::string out;
  renderFrame(grid, view, false, out);
  EXPECT_EQ(out.find("bottom"), std::string::npos);

  grid.cursorRow = 24;
  followCursor(grid);
  out.clear();
  renderFrame(grid, view, false, out);
  EXPECT_EQ(out.find("\x1b[2J"), std::string::npos);
  EXPECT_NE(out.find("\x1b[20;1Hbottom"), std::string::npos);
}

TEST(TerminalRenderer, ACursorOutsideTheWindowIsHidden) {
  CellGrid grid = blankGrid();
  fitWindow(grid, 40, 10);
  TerminalView view;
  std::string out;
  renderFrame(grid, view, false, out);
  ASSERT_TRUE(view.cursorVisible);
  grid.cursorRow = 20;  // moved without the window following (the host follows it first)
  out.clear();
  renderFrame(grid, view, false, out);
  EXPECT_EQ(out, "\x1b[?25l");
}

}  // namespace
