#pragma once
#include <cstdint>

// One character cell of the screen: a code-page-437 byte and its colour attribute
// (background * 16 + foreground).
struct Cell {
  uint8_t character = ' ';
  uint8_t attribute = 7;

  friend bool operator==(const Cell&, const Cell&) = default;
};
