// Splitting the interpreter's command text into words the way the Windows
// interpreter does for a plain command: blanks and tabs separate, a
// double-quoted stretch keeps its blanks and loses its quotes. Nothing else is
// special, so no character typed into a path can start another program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct Argument {
  std::string text;       // quotes removed
  bool isSwitch = false;  // began with a '/' outside quotes
};

std::vector<Argument> splitArguments(std::string_view text);

enum class InterpreterAction {
  usage,    // no /C: we only run one command and leave
  help,     // --help or /?
  version,  // --version
  nothing,  // /C with no command, which the Windows interpreter accepts silently
  runCommand,
};

struct InterpreterLine {
  InterpreterAction action = InterpreterAction::usage;
  std::string command;  // the command word, quotes removed
  std::vector<Argument> arguments;
};

InterpreterLine parseInterpreterLine(std::string_view text);

// XCOPY, xcopy.exe or a path ending in either, any case.
bool isXcopyCommand(std::string_view command);
