#include "console/us_layout.h"

#include <cstddef>

namespace {

// Characters of the US layout by scan code, unshifted and shifted, for scan codes 0-57.
constexpr char unshiftedRow[] =
    "\0\0331234567890-=\b\tqwertyuiop[]\r\0asdfghjkl;'`\0\\zxcvbnm,./\0*\0 ";
constexpr char shiftedRow[] =
    "\0\033!@#$%^&*()_+\b\tQWERTYUIOP{}\r\0ASDFGHJKL:\"~\0|ZXCVBNM<>?\0*\0 ";

constexpr size_t layoutKeys = sizeof unshiftedRow - 1;
static_assert(layoutKeys == 58 && sizeof shiftedRow - 1 == 58);

}  // namespace

KeyPosition usLayoutPosition(uint8_t character) {
  if (character == 0) return {};
  for (size_t code = 1; code < layoutKeys; ++code) {
    if (static_cast<uint8_t>(unshiftedRow[code]) == character) {
      return {static_cast<uint8_t>(code), false};
    }
    if (static_cast<uint8_t>(shiftedRow[code]) == character) {
      return {static_cast<uint8_t>(code), true};
    }
  }
  return {};
}
