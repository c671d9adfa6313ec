#include "command_text.h"

#include "name_lookup.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::vector<Argument> splitArguments(std::string_view text) {
  std::vector<Argument> words;
  Argument current;
  bool inWord = false;
  bool inQuotes = false;
  for (char c : text) {
    if (!inQuotes && isBlank(c)) {
      if (inWord) words.push_back(std::move(current));
      current = Argument{};
      inWord = false;
      continue;
    }
    if (c == '"') {
      // An empty pair of quotes still makes a word of its own ("" is an argument).
      inQuotes = !inQuotes;
      inWord = true;
      continue;
    }
    if (!inWord && !inQuotes && c == '/') current.isSwitch = true;
    inWord = true;
    current.text.push_back(c);
  }
  if (inWord) words.push_back(std::move(current));
  return words;
}

InterpreterLine parseInterpreterLine(std::string_view text) {
  InterpreterLine line;
  std::size_t at = 0;
  while (at < text.size() && isBlank(text[at])) ++at;
  std::string_view rest = text.substr(at);

  std::vector<Argument> firstWords = splitArguments(rest);
  if (!firstWords.empty() && (firstWords[0].text == "--help" || firstWords[0].text == "/?" ||
                              firstWords[0].text == "-h")) {
    line.action = InterpreterAction::help;
    return line;
  }
  if (!firstWords.empty() && firstWords[0].text == "--version") {
    line.action = InterpreterAction::version;
    return line;
  }
  if (rest.size() < 2 || rest[0] != '/' || (rest[1] != 'C' && rest[1] != 'c')) {
    line.action = InterpreterAction::usage;
    return line;
  }
  rest.remove_prefix(2);
  while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
  if (rest.empty()) {
    line.action = InterpreterAction::nothing;
    return line;
  }

  // The command word ends at a blank or at a '/' outside quotes: the Windows
  // interpreter reads "xcopy/?" as the command xcopy with the switch /?.
  std::size_t end = 0;
  bool inQuotes = false;
  std::string command;
  for (; end < rest.size(); ++end) {
    char c = rest[end];
    if (c == '"') {
      inQuotes = !inQuotes;
      continue;
    }
    if (!inQuotes && (isBlank(c) || c == '/')) break;
    command.push_back(c);
  }
  line.action = InterpreterAction::runCommand;
  line.command = std::move(command);
  line.arguments = splitArguments(rest.substr(end));
  return line;
}

bool isXcopyCommand(std::string_view command) {
  std::size_t slash = command.find_last_of("\\/");
  std::string_view base = slash == std::string_view::npos ? command : command.substr(slash + 1);
  return namesEqualIgnoringCase(base, "xcopy") || namesEqualIgnoringCase(base, "xcopy.exe");
}
