#include "wildcard.h"

#include <cstdint>
#include <vector>

#include "case_folding.h"

namespace {

// The characters of a text, case folded, each one number: its bytes side by
// side. A byte on its own (ASCII, or one that is not valid UTF-8) stays below
// 0x100 and every longer sequence lies above, so equal numbers are equal
// characters, and '*', '?' and '.' are themselves.
std::vector<std::uint32_t> foldedCharacters(std::string_view text) {
  const std::string folded = foldCase(text);
  std::vector<std::uint32_t> characters;
  characters.reserve(folded.size());
  for (std::size_t at = 0; at < folded.size();) {
    const std::size_t length = characterLength(folded, at);
    std::uint32_t packed = 0;
    for (std::size_t i = 0; i < length; ++i)
      packed = (packed << 8) | static_cast<unsigned char>(folded[at + i]);
    characters.push_back(packed);
    at += length;
  }
  return characters;
}

// An ASCII text seen as its folded characters without making them: a mask
// over ASCII names, the common case, costs what it did before other letters
// were folded.
struct AsciiCharacters {
  std::string_view text;
  std::size_t size() const { return text.size(); }
  std::uint32_t operator[](std::size_t at) const {
    const auto c = static_cast<unsigned char>(text[at]);
    return c >= 'A' && c <= 'Z' ? c | 0x20u : c;
  }
};

bool isAscii(std::string_view text) {
  unsigned char seen = 0;
  for (char c : text) seen |= static_cast<unsigned char>(c);
  return seen < 0x80;
}

// Glob match over whole names. '?' takes one character, or none at the end
// of the name or in front of a dot, which is how "???.txt" takes "a.txt".
template <typename Characters>
bool globMatchCharacters(const Characters& mask, const Characters& name) {
  const std::size_t n = name.size();
  // reach[j]: the mask read so far can consume exactly the first j characters.
  std::vector<char> reach(n + 1, 0);
  std::vector<char> next(n + 1, 0);
  reach[0] = 1;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    const std::uint32_t m = mask[i];
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
        } else if (j < n && name[j] == m) {
          next[j + 1] = 1;
        }
      }
    }
    reach.swap(next);
  }
  return reach[n] != 0;
}

bool globMatch(std::string_view mask, std::string_view name) {
  if (isAscii(mask) && isAscii(name))
    return globMatchCharacters(AsciiCharacters{mask}, AsciiCharacters{name});
  return globMatchCharacters(foldedCharacters(mask), foldedCharacters(name));
}

std::string_view characterAt(std::string_view text, std::size_t at) {
  return text.substr(at, characterLength(text, at));
}

}  // namespace

bool matchesMask(std::string_view mask, std::string_view name) {
  if (globMatch(mask, name)) return true;
  // A dot is one byte in UTF-8 and never part of a longer character, so it
  // can be looked for byte by byte.
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
  std::size_t at = 0;  // position in name, always at the start of a character
  for (std::size_t i = 0; i < mask.size();) {
    const std::string_view m = characterAt(mask, i);
    i += m.size();
    if (m == "*") {
      if (i == mask.size()) {
        result.append(name.substr(at));
        at = name.size();
        break;
      }
      // Take the name up to the last place where the mask's next character
      // occurs, case ignored, so "*.bas" keeps "a.b" of "a.b.BAS".
      const std::string_view wanted = characterAt(mask, i);
      std::size_t last = std::string_view::npos;
      for (std::size_t j = at; j < name.size();) {
        const std::string_view c = characterAt(name, j);
        if (namesEqualIgnoringCase(c, wanted)) last = j;
        j += c.size();
      }
      std::size_t stop = last == std::string_view::npos ? name.size() : last;
      result.append(name.substr(at, stop - at));
      at = stop;
    } else if (m == "?") {
      if (at < name.size() && name[at] != '.') {
        const std::string_view c = characterAt(name, at);
        result.append(c);
        at += c.size();
      }
    } else if (m == ".") {
      result.push_back('.');
      std::size_t dot = name.find('.', at);
      at = dot == std::string_view::npos ? name.size() : dot + 1;
    } else {
      // The mask's character takes the place of one of the name's.
      result.append(m);
      if (at < name.size() && name[at] != '.') at += characterLength(name, at);
    }
  }
  // Windows drops trailing dots and blanks: "README" through "*.*" stays "README".
  while (!result.empty() && (result.back() == '.' || result.back() == ' ')) result.pop_back();
  if (result.empty()) return std::string(name);
  return result;
}
