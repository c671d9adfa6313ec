#include "console/win32/cell_text.h"

#include <gtest/gtest.h>

TEST(CellText, BoxCharactersReachTheConsoleAsTheirUnicodeGlyphs) {
  // The mixed single/double corners that other code pages show as letters.
  EXPECT_EQ(toConsoleCell({0xD5, 0x3E}).Char.UnicodeChar, 0x2552);  // ╒
  EXPECT_EQ(toConsoleCell({0xB8, 0x3E}).Char.UnicodeChar, 0x2555);  // ╕
  EXPECT_EQ(toConsoleCell({0xD4, 0x3E}).Char.UnicodeChar, 0x2558);  // ╘
  EXPECT_EQ(toConsoleCell({0xBE, 0x3E}).Char.UnicodeChar, 0x255B);  // ╛
  EXPECT_EQ(toConsoleCell({0xCD, 0x3E}).Char.UnicodeChar, 0x2550);  // ═
  // Control bytes are glyphs, not controls.
  EXPECT_EQ(toConsoleCell({16, 7}).Char.UnicodeChar, 0x25BA);  // ►
  EXPECT_EQ(toConsoleCell({10, 7}).Char.UnicodeChar, 0x25D9);  // ◙
  EXPECT_EQ(toConsoleCell({'A', 0x3E}).Char.UnicodeChar, L'A');
  EXPECT_EQ(toConsoleCell({'A', 0xF1}).Attributes, 0xF1);
}

TEST(CellText, EveryByteComesBackFromTheConsoleUnchanged) {
  for (int b = 0; b < 256; ++b) {
    const Cell cell{static_cast<uint8_t>(b), static_cast<uint8_t>(255 - b)};
    EXPECT_EQ(fromConsoleCell(toConsoleCell(cell)), cell) << b;
  }
}

TEST(CellText, ReadBackKeepsTheColourOnly) {
  CHAR_INFO info{};
  info.Char.UnicodeChar = 0x4E00;  // a character code page 437 does not have
  info.Attributes = COMMON_LVB_UNDERSCORE | COMMON_LVB_GRID_HORIZONTAL | 0x3E;
  const Cell cell = fromConsoleCell(info);
  EXPECT_EQ(cell.attribute, 0x3E);
  EXPECT_EQ(cell.character, '?');
}
