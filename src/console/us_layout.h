#pragma once
#include <cstdint>

// Where a character sits on the US keyboard layout: the key's scan code and whether Shift is
// needed. Scan code 0 when no key gives it.
struct KeyPosition {
  uint8_t scanCode = 0;
  bool shift = false;
};

KeyPosition usLayoutPosition(uint8_t character);
