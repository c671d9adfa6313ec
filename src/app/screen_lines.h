#pragma once
#include <cstdint>
#include <span>
#include <string_view>

// A line of a fixed screen: code-page-437 text placed at a row and column. The screens' tables
// of them are constants (their texts written with "..."_cp437), built before the program runs.
struct ScreenLine {
  int32_t row;
  int32_t column;
  std::string_view text;
};

// Places each line and ends it with a newline.
void printLines(std::span<const ScreenLine> lines);

// Places one text and ends it with a newline.
void printLineAt(int32_t row, int32_t column, std::string_view text);
