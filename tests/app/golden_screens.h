#pragma once
// The screens as the user sees them, kept once each in tests/golden/<name>.txt, which the
// end-to-end tests read as well: one row per line, UTF-8, the blanks at the rows' ends left off.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_test_support.h"

struct GoldenScreenText {
  std::string_view name;
  std::string_view text;
};
extern const GoldenScreenText goldenScreenTexts[];
extern const size_t goldenScreenCount;

// The rows of a golden screen; fails the test when there is no such screen.
std::vector<std::string> goldenScreen(std::string_view name);

// The page of an error number that has no advice of its own: the golden page of 70 with the
// number in its place.
std::vector<std::string> reportPage(int number);

// Whether a frame shows the rows given (blanks at the rows' ends aside); the message names
// every row that differs.
testing::AssertionResult showsScreen(const Frame& frame, const std::vector<std::string>& rows);
testing::AssertionResult showsGoldenScreen(const Frame& frame, std::string_view name);

// A row without the blanks at its end.
std::string trimmedRow(std::string row);
