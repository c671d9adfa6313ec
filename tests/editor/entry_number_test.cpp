// Reading the number after the backslash, and which history element it recalls.

#include <gtest/gtest.h>

#include <cmath>

#include "editor/entry_number.h"

namespace {

TEST(EntryNumber, DecimalsSignsAndExponents) {
  EXPECT_EQ(readEntryNumber("3"), 3);
  EXPECT_EQ(readEntryNumber(" \t\n 3"), 3);
  EXPECT_EQ(readEntryNumber("3rd"), 3);
  EXPECT_EQ(readEntryNumber("+4"), 4);
  EXPECT_EQ(readEntryNumber("-2"), -2);
  EXPECT_EQ(readEntryNumber("1.5"), 1.5);
  EXPECT_EQ(readEntryNumber(".25"), 0.25);
  EXPECT_EQ(readEntryNumber("7."), 7);
  EXPECT_EQ(readEntryNumber("1.2.3"), 1.2);  // one point only
  EXPECT_EQ(readEntryNumber("2e1"), 20);
  EXPECT_EQ(readEntryNumber("2D1"), 20);
  EXPECT_EQ(readEntryNumber("25d-1"), 2.5);
  EXPECT_EQ(readEntryNumber("3E+2x"), 300);
  EXPECT_EQ(readEntryNumber("3e"), 3);  // an exponent without digits is not read
  EXPECT_EQ(readEntryNumber("3e-"), 3);
  EXPECT_TRUE(std::isinf(readEntryNumber("1e999")));
}

TEST(EntryNumber, NoNumberReadsAsZero) {
  EXPECT_EQ(readEntryNumber(""), 0);
  EXPECT_EQ(readEntryNumber("Data"), 0);
  EXPECT_EQ(readEntryNumber("-"), 0);
  EXPECT_EQ(readEntryNumber("."), 0);
  EXPECT_EQ(readEntryNumber("e5"), 0);
  // Forms strtod would take but this one doesn't.
  EXPECT_EQ(readEntryNumber("0x10"), 0);
  EXPECT_EQ(readEntryNumber("inf"), 0);
  EXPECT_EQ(readEntryNumber("nan"), 0);
  EXPECT_EQ(readEntryNumber("\v3"), 0);  // only spaces, tabs and line feeds are skipped
}

TEST(EntryNumber, AmpersandForms) {
  EXPECT_EQ(readEntryNumber("&H2"), 2);
  EXPECT_EQ(readEntryNumber("&hFf"), 255);
  EXPECT_EQ(readEntryNumber("&B101"), 5);
  EXPECT_EQ(readEntryNumber("&b12"), 1);
  EXPECT_EQ(readEntryNumber("&O17"), 15);
  EXPECT_EQ(readEntryNumber("&q17"), 15);
  EXPECT_EQ(readEntryNumber("&17"), 15);
  EXPECT_EQ(readEntryNumber("&8"), 0);
  EXPECT_EQ(readEntryNumber("&"), 0);
  EXPECT_EQ(readEntryNumber("&Hg"), 0);
  EXPECT_EQ(readEntryNumber("  &H10"), 16);
}

TEST(EntryNumber, HalvesRoundToTheEvenNeighbour) {
  EXPECT_EQ(roundHalfToEven(0.5), 0);
  EXPECT_EQ(roundHalfToEven(1.5), 2);
  EXPECT_EQ(roundHalfToEven(2.5), 2);
  EXPECT_EQ(roundHalfToEven(-0.5), 0);
  EXPECT_EQ(roundHalfToEven(-1.5), -2);
  EXPECT_EQ(roundHalfToEven(0.49), 0);
  EXPECT_EQ(roundHalfToEven(0.51), 1);
  EXPECT_EQ(roundHalfToEven(-0.8), -1);
  EXPECT_EQ(roundHalfToEven(7), 7);
}

TEST(EntryNumber, RecalledElementKeepsInsideTheList) {
  // Last index 9: entries 1 to 9 are elements 0 to 8.
  EXPECT_EQ(recalledElement("\\2", 9), 1);
  EXPECT_EQ(recalledElement("\\", 9), 8);
  EXPECT_EQ(recalledElement("\\9", 9), 8);
  EXPECT_EQ(recalledElement("\\1.5", 9), 0);
  EXPECT_EQ(recalledElement("\\2.5", 9), 2);
  EXPECT_EQ(recalledElement("\\0.5", 9), 0);
  EXPECT_EQ(recalledElement("\\0.2", 9), -1);  // n - 1 rounds to -1: no element
  EXPECT_EQ(recalledElement("\\0", 9), -1);
  EXPECT_EQ(recalledElement("\\-2", 9), -1);
  EXPECT_EQ(recalledElement("\\10", 9), -1);
  EXPECT_EQ(recalledElement("\\9.01", 9), -1);
  EXPECT_EQ(recalledElement("2", 9), -1);
  EXPECT_EQ(recalledElement("", 9), -1);
  EXPECT_EQ(recalledElement("\\", 0), -1);  // one element: nothing before the slot
  EXPECT_EQ(recalledElement("\\1", -1), -1);
  // Every accepted number selects an existing element.
  for (int i = 1; i <= 2000; ++i) {
    const double n = i / 200.0;
    char text[32];
    snprintf(text, sizeof text, "\\%.3f", n);
    const int32_t element = recalledElement(text, 9);
    EXPECT_TRUE(element == -1 || (element >= 0 && element <= 8)) << text;
    EXPECT_EQ(element == -1, n < 0.5 || n > 9) << text;
  }
}

}  // namespace
