#include "wildcard.h"

#include <vector>

namespace {

char fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
}

// Glob match over whole strings. '?' takes one character, or none at the end
// of the name or in front of a dot, which is how "???.txt" takes "a.txt".
bool globMatch(std::string_view mask, std::string_view name) {
  const std::size_t n = name.size();
  // reach[j]: the mask read so far can consume exactly the first j characters.
  std::vector<char> reach(n + 1, 0);
  std::vector<char> next(n + 1, 0);
  reach[0] = 1;
  for (char m : mask) {
    std::fill(next.begin(), next.end(), 0);
    if (m == '*') {
      bool any = false;
      for (std::size_t j = 0; j <= n; ++j) {
        any = any || reach[j];
        next[j] = any;
      }
    } else {
      for (std::size_t j = 0; j <= n; ++j) {
        if (!reach[j]) continue;
        if (m == '?') {
          if (j == n || name[j] == '.') next[j] = 1;
          if (j < n) next[j + 1] = 1;
        } else if (j < n && fold(name[j]) == fold(m)) {
          next[j + 1] = 1;
        }
      }
    }
    reach.swap(next);
  }
  return reach[n] != 0;
}

}  // namespace

bool matchesMask(std::string_view mask, std::string_view name) {
  if (globMatch(mask, name)) return true;
  bool nameHasDot = name.find('.') != std::string_view::npos;
  // "abc.*" and "*.*" also take a name with no extension at all.
  if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" && !nameHasDot)
    return globMatch(mask.substr(0, mask.size() - 2), name);
  // "*." asks for names without an extension.
  if (mask.size() >= 1 && mask.back() == '.' && !nameHasDot)
    return globMatch(mask.substr(0, mask.size() - 1), name);
  return false;
}

std::string applyRenameMask(std::string_view mask, std::string_view name) {
  std::string result;
  std::size_t at = 0;  // position in name
  for (std::size_t i = 0; i < mask.size(); ++i) {
    char m = mask[i];
    if (m == '*') {
      if (i + 1 == mask.size()) {
        result.append(name.substr(at));
        at = name.size();
        break;
      }
      // Take the name up to the last place where the mask's next character
      // occurs, so "*.bas" keeps "a.b" of "a.b.BAS".
      char wanted = fold(mask[i + 1]);
      std::size_t last = std::string_view::npos;
      for (std::size_t j = at; j < name.size(); ++j)
        if (fold(name[j]) == wanted) last = j;
      std::size_t stop = last == std::string_view::npos ? name.size() : last;
      result.append(name.substr(at, stop - at));
      at = stop;
    } else if (m == '?') {
      if (at < name.size() && name[at] != '.') result.push_back(name[at++]);
    } else if (m == '.') {
      result.push_back('.');
      std::size_t dot = name.find('.', at);
      at = dot == std::string_view::npos ? name.size() : dot + 1;
    } else {
      result.push_back(m);
      if (at < name.size() && name[at] != '.') ++at;
    }
  }
  // Windows drops trailing dots and blanks: "README" through "*.*" stays "README".
  while (!result.empty() && (result.back() == '.' || result.back() == ' ')) result.pop_back();
  if (result.empty()) return std::string(name);
  return result;
}
