#include "app/screen_lines.h"

#include "console/screen.h"

void printLineAt(int32_t row, int32_t column, std::string_view text) {
  locate(row, column);
  printText(text);
  printNewline();
}

void printLines(std::span<const ScreenLine> lines) {
  for (const ScreenLine& line : lines) printLineAt(line.row, line.column, line.text);
}
