#include "dos_path.h"

namespace {

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

DosPath parseDosPath(std::string_view text) {
  DosPath path;
  if (text.size() >= 2 && text[1] == ':') {
    if (isAsciiLetter(text[0])) {
      path.drive = static_cast<char>(text[0] | 0x20);
    } else {
      path.badDrive = true;
    }
    text.remove_prefix(2);
  }
  if (!text.empty() && isSeparator(text.front())) path.rooted = true;
  path.endsWithSeparator = !text.empty() && isSeparator(text.back());
  // A drive path is always taken from the drive's root: there is no
  // remembered current folder per drive on this host.
  bool anchored = path.rooted || path.drive != 0;

  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = at;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    std::string_view part = text.substr(at, end - at);
    if (part.empty() || part == ".") {
      // nothing: "a\\b" and "a\.\b" are "a\b"
    } else if (part == "..") {
      if (!path.parts.empty() && path.parts.back() != "..") {
        path.parts.pop_back();
      } else if (!anchored) {
        path.parts.emplace_back("..");
      }
    } else {
      path.parts.emplace_back(part);
    }
    at = end + 1;
  }
  return path;
}

bool hasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

std::string windowsSeparators(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c == '/') c = '\\';
  return result;
}

std::string joinDisplay(std::string_view prefix, std::string_view name) {
  std::string result = windowsSeparators(prefix);
  if (!result.empty() && result.back() != '\\' && result.back() != ':') result.push_back('\\');
  result.append(name);
  return result;
}

std::string folderPartOfText(std::string_view text) {
  std::size_t cut = text.find_last_of("\\/");
  if (cut == std::string_view::npos) {
    if (text.size() >= 2 && text[1] == ':') return std::string(text.substr(0, 2));
    return "";
  }
  std::string_view folder = text.substr(0, cut + 1);
  // Keep the separator only where it makes a root: "\" or "C:\".
  std::size_t driveLength = folder.size() >= 2 && folder[1] == ':' ? 2 : 0;
  while (folder.size() > driveLength + 1 && isSeparator(folder.back())) folder.remove_suffix(1);
  return windowsSeparators(folder);
}
