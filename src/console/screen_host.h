#pragma once
#include <cstdint>

#include "console/cell.h"

struct ScreenState;

// What the screen logic needs of a console, one operation per console function it relies on.
// Every host (the Windows console, the terminal's cell grid, the tests' in-memory grid) provides
// these; the host is chosen at link time. Coordinates are the console's own, counted from 0.
// Results are not checked except where a bool says whether anything could be read.

// The host's part of preparing the console: choose the screen, open the keyboard, set the
// modes, and record in `state` whether standard input and output are consoles. A host without
// a console to work with decides itself what that means.
void hostOpenConsole(ScreenState& state);

struct ConsoleSize {
  int32_t width = 0;
  int32_t height = 0;
};

struct ConsolePosition {
  int32_t row = 0;
  int32_t column = 0;
};

// Buffer size, the window's size (it bounds recolouring only), and the cursor.
bool hostBufferSize(ConsoleSize& size);
bool hostWindowSize(ConsoleSize& size);
bool hostCursorPosition(ConsolePosition& position);
void hostSetCursorPosition(ConsolePosition position);

// One block write of `count` cells into one row, from `position` on.
void hostWriteRow(ConsolePosition position, const Cell* cells, int32_t count);

// Moves the rectangle of rows `top` to `bottom` (whole width) to start at row `destination`,
// filling the cells it leaves with `fill`.
void hostScrollRows(int32_t top, int32_t bottom, int32_t destination, Cell fill);

// Writes one character, or one attribute, into `count` consecutive cells from `position`,
// running on into the following rows up to the end of the buffer.
void hostFillCharacters(ConsolePosition position, int32_t count, uint8_t character);
void hostFillAttributes(ConsolePosition position, int32_t count, uint8_t attribute);

// The attribute of text that reaches the console through its ordinary output path (the
// commands the program runs).
void hostSetDefaultAttribute(uint8_t attribute);

bool hostReadCell(ConsolePosition position, Cell& cell);

// Cursor shape: size in percent of the cell (1-100) and visibility.
bool hostCursorInfo(int32_t& size, bool& visible);
void hostSetCursorInfo(int32_t size, bool visible);

// The system's default beep, without waiting for it.
void hostBeep();
