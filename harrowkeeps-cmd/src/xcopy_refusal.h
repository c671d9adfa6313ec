// Why XCOPY will not start: its own words, what they are about, and the
// exit code.
#pragma once

#include <string>
#include <string_view>

struct Refusal {
  std::string message;  // XCOPY's words
  std::string detail;   // which thing they are about
  int code = 0;
};

constexpr int exitNoFiles = 1;
constexpr int exitInterrupted = 2;
constexpr int exitBadInput = 4;
constexpr int exitNotAllCopied = 5;

inline Refusal refuse(std::string_view message, std::string detail, int code = exitBadInput) {
  return Refusal{std::string(message), std::move(detail), code};
}
