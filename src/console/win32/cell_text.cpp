#include "console/win32/cell_text.h"

#include "console/cp437.h"

WCHAR toConsoleCharacter(uint8_t character) {
  // Every glyph of code page 437 lies in the Basic Multilingual Plane.
  return static_cast<WCHAR>(cp437ToUnicode(character));
}

CHAR_INFO toConsoleCell(Cell cell) {
  CHAR_INFO info{};
  info.Char.UnicodeChar = toConsoleCharacter(cell.character);
  info.Attributes = cell.attribute;
  return info;
}

Cell fromConsoleCell(const CHAR_INFO& info) {
  const int glyph = unicodeToCp437(static_cast<char32_t>(info.Char.UnicodeChar));
  Cell cell;
  cell.character = static_cast<uint8_t>(glyph < 0 ? '?' : glyph);
  // The high byte holds the grid-line and reverse-video flags, which are no part of a colour.
  cell.attribute = static_cast<uint8_t>(info.Attributes & 0xFF);
  return cell;
}
