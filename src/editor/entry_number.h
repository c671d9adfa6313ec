#pragma once
#include <cstdint>
#include <string_view>

// The number after the backslash that recalls an entry of a field's history.

// The number at the start of a text: blanks (spaces, tabs, line feeds) skipped, then an
// optional sign, decimal digits with at most one point and an optional exponent (E or D, either
// case, an optional sign, digits); reading stops at the first character that does not fit.
// After an ampersand a whole number is read in base 16 (&H), 2 (&B) or 8 (&O, &Q, or digits
// straight after the ampersand). A text without a number at its start reads as 0.
double readEntryNumber(std::string_view text);

// The nearest whole number; a value halfway between two goes to the even one.
double roundHalfToEven(double value);

// The element of a history, whose highest index is `lastIndex`, that a trimmed field text
// recalls; -1 when the text recalls none. The text recalls when it begins with a backslash and
// the number after it (the last index when nothing follows) is above 0 and at most the last
// index; entry n is element n - 1, taken to the nearest whole number. A number between 0 and
// 0.5 falls on no element and so recalls nothing.
int32_t recalledElement(std::string_view trimmedText, int32_t lastIndex);
