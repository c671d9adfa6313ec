#include "interpreter.h"

#include "command_text.h"
#include "drive_map.h"
#include "help_text.h"
#include "xcopy_command.h"

int runInterpreter(std::string_view commandText, const Output& output) {
  InterpreterLine line = parseInterpreterLine(commandText);
  switch (line.action) {
    case InterpreterAction::usage:
      writeLine(output.err, text::usage);
      return 1;
    case InterpreterAction::help:
      writeText(output.out, helpText(drivesFolder()));
      return 0;
    case InterpreterAction::version:
      writeText(output.out, versionText());
      return 0;
    case InterpreterAction::nothing:
      return 0;
    case InterpreterAction::runCommand:
      break;
  }
  if (!isXcopyCommand(line.command)) {
    writeLine(output.err, notRecognisedFirstLine(line.command));
    writeLine(output.err, notRecognisedSecondLine);
    return 1;
  }
  XcopySettings settings;
  settings.drives = drivesFolder();
  settings.output = output;
  return runXcopy(line.arguments, settings);
}
