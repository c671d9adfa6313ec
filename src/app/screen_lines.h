#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A line of a fixed screen: code-page-437 text placed at a row and column.
struct ScreenLine {
  int32_t row;
  int32_t column;
  std::string text;
};

// Places each line and ends it with a newline.
void printLines(const std::vector<ScreenLine>& lines);

// Places one text and ends it with a newline.
void printLineAt(int32_t row, int32_t column, const std::string& text);
