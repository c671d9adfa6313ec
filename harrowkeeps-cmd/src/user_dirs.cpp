#include "user_dirs.h"

#include <fstream>
#include <sstream>

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

bool isNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// `text` at a '$': appends the home folder for $HOME or ${HOME} and steps
// past it. Any other expansion would need the shell itself.
bool expandHome(std::string_view text, std::size_t& at, const std::string& home,
                std::string& value) {
  std::string_view rest = text.substr(at);
  if (rest.substr(0, 7) == "${HOME}") {
    at += 7;
  } else if (rest.substr(0, 5) == "$HOME" && (rest.size() == 5 || !isNameCharacter(rest[5]))) {
    at += 5;
  } else {
    return false;
  }
  value += home;
  return true;
}

// One shell word from `text` at `at`, up to an unquoted blank. False when it
// holds what only a shell could work out (another variable, a command, a
// quote left open).
bool readWord(std::string_view text, std::size_t& at, const std::string& home, std::string& value) {
  value.clear();
  // A tilde at the start of an assignment's value is the home folder.
  if (at < text.size() && text[at] == '~' &&
      (at + 1 == text.size() || text[at + 1] == '/' || isBlank(text[at + 1]))) {
    value = home;
    ++at;
  }
  while (at < text.size() && !isBlank(text[at])) {
    char c = text[at];
    if (c == '\\') {
      if (at + 1 == text.size()) return false;  // a line continued: not written by the desktop
      value.push_back(text[at + 1]);
      at += 2;
    } else if (c == '\'') {
      std::size_t end = text.find('\'', at + 1);
      if (end == std::string_view::npos) return false;
      value.append(text.substr(at + 1, end - at - 1));
      at = end + 1;
    } else if (c == '"') {
      ++at;
      for (;;) {
        if (at == text.size()) return false;
        char q = text[at];
        if (q == '"') break;
        if (q == '\\' && at + 1 < text.size() &&
            std::string_view("$`\"\\").find(text[at + 1]) != std::string_view::npos) {
          value.push_back(text[at + 1]);
          at += 2;
        } else if (q == '$') {
          if (!expandHome(text, at, home, value)) return false;
        } else if (q == '`') {
          return false;
        } else {
          value.push_back(q);
          ++at;
        }
      }
      ++at;
    } else if (c == '$') {
      if (!expandHome(text, at, home, value)) return false;
    } else if (std::string_view("`;&|<>()").find(c) != std::string_view::npos) {
      return false;
    } else {
      value.push_back(c);
      ++at;
    }
  }
  return true;
}

enum class LineKind { other, folder, unreadable };

// One line: `name` is what stands between XDG_ and _DIR.
LineKind readLine(std::string_view line, const std::string& home, std::string& name,
                  std::string& folder) {
  std::size_t at = 0;
  while (at < line.size() && isBlank(line[at])) ++at;
  if (line.substr(at, 7) == "export " || line.substr(at, 7) == "export\t") {
    at += 7;
    while (at < line.size() && isBlank(line[at])) ++at;
  }
  std::size_t nameStart = at;
  while (at < line.size() && isNameCharacter(line[at])) ++at;
  std::string_view variable = line.substr(nameStart, at - nameStart);
  if (variable.size() <= 8 || variable.substr(0, 4) != "XDG_" ||
      variable.substr(variable.size() - 4) != "_DIR")
    return LineKind::other;
  while (at < line.size() && isBlank(line[at])) ++at;
  if (at == line.size() || line[at] != '=') return LineKind::other;
  ++at;
  while (at < line.size() && isBlank(line[at])) ++at;
  name = std::string(variable.substr(4, variable.size() - 8));
  if (!readWord(line, at, home, folder)) return LineKind::unreadable;
  while (at < line.size() && isBlank(line[at])) ++at;
  // Only a comment may follow: anything else is another command.
  if (at < line.size() && line[at] != '#') return LineKind::unreadable;
  if (folder.empty() || folder.front() != '/') return LineKind::unreadable;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return LineKind::folder;
}

}  // namespace

UserDirs parseUserDirs(std::string_view text, const std::string& home) {
  UserDirs dirs;
  int number = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string name;
    std::string folder;
    switch (readLine(line, home, name, folder)) {
      case LineKind::other:
        break;
      case LineKind::folder:
        dirs.folders[name] = folder;
        dirs.unreadable.erase(name);
        break;
      case LineKind::unreadable:
        dirs.folders.erase(name);
        dirs.unreadable[name] = number;
        break;
    }
  }
  return dirs;
}

std::string userDirsFilePath(const std::string& home, const std::string& configHome) {
  if (!configHome.empty() && configHome.front() == '/') return configHome + "/user-dirs.dirs";
  return home + "/.config/user-dirs.dirs";
}

UserDirs readUserDirs(const std::string& path, const std::string& home) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return UserDirs{};
  std::ostringstream text;
  text << file.rdbuf();
  return parseUserDirs(text.str(), home);
}
