#pragma once
#include <windows.h>

#include <cstdint>

#include "console/cell.h"

// The screen's bytes are code page 437, but the console's output code page is whatever the
// user's console has (850 in much of Europe, where the mixed single/double box corners are
// other letters). Cells therefore reach the console as UTF-16, which no code page reinterprets,
// and come back from it the same way.

CHAR_INFO toConsoleCell(Cell cell);
// The attribute as stored; the character mapped back to code page 437 ('?' when the console
// holds a character that code page lacks).
Cell fromConsoleCell(const CHAR_INFO& info);
WCHAR toConsoleCharacter(uint8_t character);
