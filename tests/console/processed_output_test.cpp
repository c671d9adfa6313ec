// A command's output on the cell grid, as the console's ordinary output path shows it.

#include <gtest/gtest.h>

#include "console/cp437.h"
#include "console/grid/cell_grid.h"
#include "console/grid/processed_output.h"

namespace {

struct Screen {
  CellGrid grid;
  ProcessedOutput state;

  explicit Screen(int32_t width = 20, int32_t height = 5) {
    grid.cells.assign(80 * 25, Cell{' ', 0x3E});
    grid.defaultAttribute = 0x3E;
    resizeGrid(grid, width, height);
  }
  void write(std::string_view bytes) { writeProcessedOutput(grid, state, bytes); }
  std::string row(int32_t r) const {  // from 0, as UTF-8, trailing blanks kept off
    std::string bytes;
    for (int32_t c = 0; c < grid.width; ++c)
      bytes += static_cast<char>(cellAt(grid, r, c).character);
    while (!bytes.empty() && bytes.back() == ' ') bytes.pop_back();
    return cp437ToUtf8(bytes);
  }
  std::pair<int32_t, int32_t> cursor() const { return {grid.cursorRow, grid.cursorColumn}; }
};

TEST(ProcessedOutput, CarriageReturnLineFeedAndBackspace) {
  Screen s;
  s.grid.changed = false;
  s.write("copying 1\rCOPY\n");
  EXPECT_TRUE(s.grid.changed);  // a display draws the output without being told
  EXPECT_EQ(s.row(0), "COPYing 1");
  EXPECT_EQ(s.cursor(), std::pair(1, 0));  // a line feed also goes back to the first column
  s.write("ab\bX\b\b\b\bY");
  EXPECT_EQ(s.row(1), "YX");
  EXPECT_EQ(s.cursor(), std::pair(1, 1));
}

TEST(ProcessedOutput, TabsGoToTheNextMultipleOf8) {
  Screen s(20, 5);
  s.write("a\tb\t\tc");
  EXPECT_EQ(s.row(0), "a       b");
  EXPECT_EQ(s.row(1), "c");  // the second tab ran into the end of the row and wrapped
  Screen t(20, 5);
  t.write("12345678\tx");
  EXPECT_EQ(t.row(0), "12345678        x");
}

TEST(ProcessedOutput, TheLastColumnWrapsAtOnce) {
  Screen s(10, 5);
  s.write("0123456789");
  EXPECT_EQ(s.cursor(), std::pair(1, 0));
  s.write("abc\r\n");
  EXPECT_EQ(s.row(0), "0123456789");
  EXPECT_EQ(s.row(1), "abc");
  Screen exact(10, 5);
  exact.write("0123456789\r\nnext");
  EXPECT_EQ(exact.row(1), "");  // a full row and a newline leave a blank row, as on the console
  EXPECT_EQ(exact.row(2), "next");
}

TEST(ProcessedOutput, TheBottomRowScrollsInTheDefaultAttribute) {
  Screen s(10, 3);
  cellAt(s.grid, 2, 5).attribute = 0x07;
  s.write("1\n2\n3\n4\n5");
  EXPECT_EQ(s.row(0), "3");
  EXPECT_EQ(s.row(1), "4");
  EXPECT_EQ(s.row(2), "5");
  EXPECT_EQ(s.cursor(), std::pair(2, 1));
  for (int32_t c = 0; c < 10; ++c) EXPECT_EQ(cellAt(s.grid, 2, c).attribute, 0x3E);
  s.grid.defaultAttribute = 0x1F;
  s.write("\n");
  EXPECT_EQ(cellAt(s.grid, 2, 0).attribute, 0x1F);
}

TEST(ProcessedOutput, StartsAtTheCursorInTheDefaultAttribute) {
  Screen s;
  s.grid.cursorRow = 3;
  s.grid.cursorColumn = 4;
  s.grid.defaultAttribute = 0x4F;
  s.write("hi");
  EXPECT_EQ(s.row(3), "    hi");
  EXPECT_EQ(cellAt(s.grid, 3, 4).attribute, 0x4F);
  EXPECT_EQ(cellAt(s.grid, 3, 3).attribute, 0x3E);
}

TEST(ProcessedOutput, BellsAreCountedOtherControlsAndEscapesDropped) {
  Screen s(40, 5);
  s.write(
      "\a\x01\x02\x7F"
      "a\x1b[1;31mred\x1b[0m\x1b]0;title\a\x1b]2;t2\x1b\\b\x1b(Bc\x1b"
      "7d\x1b[?25l");
  EXPECT_EQ(s.state.bells, 1);  // the bell ending the title is no bell
  EXPECT_EQ(s.row(0), "aredbcd");
  s.write(
      "\x1bPq#0;2;0;0;0\x1b\\e\x1b[5\x18"
      "f");
  EXPECT_EQ(s.row(0), "aredbcdef");
}

TEST(ProcessedOutput, SequencesCutBetweenWritesAreStillWhole) {
  Screen s(40, 5);
  for (std::string_view part :
       {"x\x1b", "[3", "8;5;1", "mé", "\xC3", "\xA9", "\xE2\x94", "\x80!"}) {
    s.write(part);
  }
  EXPECT_EQ(s.row(0), "xéé─!");
  EXPECT_EQ(cellAt(s.grid, 0, 1).character, 130);  // é in code page 437
  EXPECT_EQ(cellAt(s.grid, 0, 3).character, 196);  // ─
}

TEST(ProcessedOutput, CharactersTheCodePageLacksAndBrokenUtf8ShowAsQuestionMarks) {
  Screen s(40, 5);
  s.write("€|\xFF|\xC3(|\xE2\x94|\xC2\x85|");
  // €, a byte that starts nothing, a sequence cut by '(', one cut by '|'; U+0085 is a control.
  EXPECT_EQ(s.row(0), "?|?|?(|?||");
}

}  // namespace
