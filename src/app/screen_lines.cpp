#include "app/screen_lines.h"

#include "console/screen.h"

void printLineAt(int32_t row, int32_t column, const std::string& text) {
  locate(row, column);
  printText(text);
  printNewline();
}

void printLines(const std::vector<ScreenLine>& lines) {
  for (const ScreenLine& line : lines) printLineAt(line.row, line.column, line.text);
}
