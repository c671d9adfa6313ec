#pragma once
#include <string>
#include <string_view>

#include "console/grid/cell_grid.h"

// Text that reaches a cell grid through the console's ordinary output path, as output mode 3
// (processed output, wrap at the end of the line) has it: the output of the commands the
// program runs. Carriage return, line feed (which also goes back to the first column),
// backspace, tab (to the next multiple of 8) and bell act; every other control byte and every
// escape sequence a Unix program may send is dropped; UTF-8 is shown in code page 437, a
// character the code page lacks as '?'. Characters go in from the grid's cursor in its default
// attribute; a character in the last column moves the cursor to the next row at once, and a
// new row at the bottom scrolls the grid up, the new bottom row blank in the default attribute.

// What a write leaves for the next one: a UTF-8 sequence or an escape sequence cut between two
// writes, and the bells to sound.
struct ProcessedOutput {
  enum class Escape { none, start, intermediate, control, string, stringEnd };
  Escape escape = Escape::none;
  std::string partialCharacter;
  int bells = 0;
};

void writeProcessedOutput(CellGrid& grid, ProcessedOutput& state, std::string_view bytes);
