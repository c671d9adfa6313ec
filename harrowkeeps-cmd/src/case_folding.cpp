#include "case_folding.h"

#include <cstdint>
#include <cstring>

#include "case_folding_table.h"

namespace {

unsigned char foldAscii(unsigned char c) {
  return static_cast<unsigned char>(c - 'A') < 26 ? static_cast<unsigned char>(c | 0x20) : c;
}

// One character of a name, decoded: a code point, or (not valid) one byte
// that is no part of a valid UTF-8 sequence, kept in codePoint as it is.
struct Character {
  char32_t codePoint;
  std::size_t length;
  bool valid;
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// and nothing read beyond the text.
Character readCharacter(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const Character asByte{lead, 1, false};
  if (lead < 0x80) return Character{lead, 1, true};
  std::size_t length = 0;
  char32_t codePoint = 0;
  char32_t lowest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1Fu;
    lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0Fu;
    lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07u;
    lowest = 0x10000;
  } else {
    return asByte;
  }
  if (text.size() - at < length) return asByte;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0u) != 0x80u) return asByte;
    codePoint = (codePoint << 6) | (next & 0x3Fu);
  }
  if (codePoint < lowest || (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
    return asByte;
  return Character{codePoint, length, true};
}

char32_t foldCodePoint(char32_t codePoint) {
  // The last run that starts at or before the code point, found by halving
  // without branches that depend on the code point (they would be
  // mispredicted about every other time).
  const CaseFoldRange* run = caseFoldRanges;
  std::size_t count = caseFoldRangeCount;
  while (count > 1) {
    const std::size_t half = count / 2;
    run = run[half].first <= codePoint ? run + half : run;
    count -= half;
  }
  if (codePoint < run->first || codePoint > run->last ||
      ((codePoint - run->first) & (run->step - 1)))
    return codePoint;
  return static_cast<char32_t>(static_cast<std::int32_t>(codePoint) + run->delta);
}

// Whether every byte is below 0x80, eight at a time.
bool isAscii(std::string_view text) {
  std::uint64_t seen = 0;
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    seen |= word;
  }
  for (; at < text.size(); ++at) seen |= static_cast<unsigned char>(text[at]);
  return (seen & 0x8080808080808080u) == 0;
}

void appendUtf8(std::string& text, char32_t codePoint) {
  if (codePoint < 0x80) {
    text.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    text.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    text.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    text.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    text.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

bool equalByCharacters(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[j]);
    if ((x | y) < 0x80) {
      if (foldAscii(x) != foldAscii(y)) return false;
      ++i;
      ++j;
      continue;
    }
    const Character p = readCharacter(a, i);
    const Character q = readCharacter(b, j);
    if (p.valid != q.valid) return false;
    if (p.valid ? foldCodePoint(p.codePoint) != foldCodePoint(q.codePoint)
                : p.codePoint != q.codePoint)
      return false;
    i += p.length;
    j += q.length;
  }
  return i == a.size() && j == b.size();
}

}  // namespace

std::string foldCase(std::string_view name) {
  std::string folded(name);
  // Most names are ASCII throughout: those cost what they cost when only A-Z
  // were folded.
  if (isAscii(name)) {
    for (char& c : folded) c = static_cast<char>(foldAscii(static_cast<unsigned char>(c)));
    return folded;
  }
  // A folded letter may take more or fewer bytes than the letter (the Kelvin
  // sign K is three, its k one), so the name is written anew.
  folded.clear();
  for (std::size_t at = 0; at < name.size();) {
    const auto byte = static_cast<unsigned char>(name[at]);
    if (byte < 0x80) {
      folded.push_back(static_cast<char>(foldAscii(byte)));
      ++at;
      continue;
    }
    const Character c = readCharacter(name, at);
    const char32_t to = c.valid ? foldCodePoint(c.codePoint) : c.codePoint;
    if (to == c.codePoint)
      folded.append(name.substr(at, c.length));
    else
      appendUtf8(folded, to);
    at += c.length;
  }
  return folded;
}

bool namesEqualIgnoringCase(std::string_view a, std::string_view b) {
  // The same bytes but for the case of A-Z are the same name. Where they
  // first differ in two ASCII bytes, both stand at the start of a character
  // (an ASCII byte is never part of a longer one), and those two characters
  // differ.
  if (a.size() == b.size()) {
    std::size_t at = 0;
    while (at < a.size() && foldAscii(static_cast<unsigned char>(a[at])) ==
                                foldAscii(static_cast<unsigned char>(b[at])))
      ++at;
    if (at == a.size()) return true;
    if ((static_cast<unsigned char>(a[at]) | static_cast<unsigned char>(b[at])) < 0x80)
      return false;
  }
  return equalByCharacters(a, b);
}

std::size_t characterLength(std::string_view text, std::size_t at) {
  return readCharacter(text, at).length;
}
