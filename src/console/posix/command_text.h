#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// How this host turns a Windows-style command text into a program and its argument, and a
// failure to start it into the Windows system error code of the same meaning.

// Both parts are UTF-8, the encoding of Unix file names and arguments: the program's text is
// code page 437, so a folder typed as "Bücher" holds the byte 0x81, which no Unix program
// would read as "ü".
struct CommandText {
  std::string program;   // the first token, without its quotes
  std::string argument;  // the rest, after the token and the blanks that follow it
};

// The first token is taken as the Windows loader takes it: a token that begins with a double
// quote runs to the closing quote (to the end when there is none), any other to the first blank
// (space or tab). The text, code page 437, ends at a NUL, as a C string does.
CommandText splitCommandText(std::string_view text);

// Windows system error codes the host reports.
namespace systemError {
constexpr uint32_t fileNotFound = 2;
constexpr uint32_t pathNotFound = 3;
constexpr uint32_t tooManyOpenFiles = 4;
constexpr uint32_t accessDenied = 5;
constexpr uint32_t notEnoughMemory = 8;
constexpr uint32_t badFormat = 11;
constexpr uint32_t sharingViolation = 32;
constexpr uint32_t invalidParameter = 87;
constexpr uint32_t filenameTooLong = 206;
constexpr uint32_t internalError = 1359;
}  // namespace systemError

// The Windows code for an errno value from finding or starting a program. ENOENT gives "file
// not found"; whether the program's folder is missing the caller has to find out itself.
uint32_t systemErrorForErrno(int error);
