// Unicode's simple case folding as runs of code points, written into
// case_folding_table.cpp by tools/make-case-folding-table.py.
#pragma once

#include <cstddef>
#include <cstdint>

// Every step-th code point from first to last folds to itself plus delta;
// code points in no run fold to themselves. The runs are in order and none
// starts inside another.
struct CaseFoldRange {
  char32_t first;
  char32_t last;
  std::int32_t delta;
  std::uint8_t step;  // 1 or 2 (the Latin and Cyrillic letters come in pairs)
};

extern const CaseFoldRange caseFoldRanges[];
extern const std::size_t caseFoldRangeCount;
extern const char caseFoldingUnicodeVersion[];  // "15.0.0"
