#include "editor/entry_number.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The value of one digit in a base, or -1 when the character is none of its digits.
int digitValue(char c, int base) {
  int value = -1;
  if (isDigit(c)) {
    value = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    value = c - 'A' + 10;
  }
  return value < base ? value : -1;
}

double readWholeNumber(std::string_view digits, int base) {
  double value = 0;
  for (char c : digits) {
    const int d = digitValue(c, base);
    if (d < 0) break;
    value = value * base + d;
  }
  return value;
}

double readAmpersandNumber(std::string_view text) {
  if (text.empty()) return 0;
  switch (text[0]) {
    case 'h':
    case 'H':
      return readWholeNumber(text.substr(1), 16);
    case 'b':
    case 'B':
      return readWholeNumber(text.substr(1), 2);
    case 'o':
    case 'O':
    case 'q':
    case 'Q':
      return readWholeNumber(text.substr(1), 8);
    default:
      return readWholeNumber(text, 8);
  }
}

}  // namespace

double readEntryNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i < text.size() && text[i] == '&') return readAmpersandNumber(text.substr(i + 1));

  // The part that fits the number's form, rewritten for strtod (which knows no D exponent and
  // would take hexadecimal, infinities and the like that this form does not have).
  std::string number;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
  bool anyDigit = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (isDigit(text[i])) {
      anyDigit = true;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
    number += text[i];
  }
  if (!anyDigit) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    bool exponentDigit = false;
    for (; j < text.size() && isDigit(text[j]); ++j) {
      exponent += text[j];
      exponentDigit = true;
    }
    if (exponentDigit) number += exponent;
  }
  return std::strtod(number.c_str(), nullptr);
}

double roundHalfToEven(double value) {
  const double below = std::floor(value);
  const double fraction = value - below;
  if (fraction > 0.5) return below + 1;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2) == 0 ? below : below + 1;
}

int32_t recalledElement(std::string_view trimmedText, int32_t lastIndex) {
  if (trimmedText.empty() || trimmedText[0] != '\\') return -1;
  const std::string_view rest = trimmedText.substr(1);
  const double n = rest.empty() ? lastIndex : readEntryNumber(rest);
  if (!(n > 0 && n <= lastIndex)) return -1;
  const double element = roundHalfToEven(n - 1);
  if (element < 0) return -1;  // between 0 and 0.5: before the first element
  return static_cast<int32_t>(element);
}
