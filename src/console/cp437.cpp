#include "console/cp437.h"

#include <algorithm>
#include <array>
#include <utility>

#include "console/cp437_glyphs.h"

namespace {

using ReverseTable = std::array<std::pair<char32_t, uint8_t>, 160>;

// Glyph code points of bytes 1-31 and 127-255, sorted for lookup.
const ReverseTable& reverseTable() {
  static const ReverseTable table = [] {
    ReverseTable t{};
    size_t n = 0;
    for (int b = 1; b < 32; ++b) t[n++] = {cp437LowGlyphs[b], static_cast<uint8_t>(b)};
    for (int b = 127; b < 256; ++b) t[n++] = {cp437HighGlyphs[b - 127], static_cast<uint8_t>(b)};
    std::sort(t.begin(), t.begin() + n);
    return t;
  }();
  return table;
}

}  // namespace

char32_t cp437ToUnicode(uint8_t byte) {
  return cp437Glyph(byte);
}

int unicodeToCp437(char32_t codePoint) {
  if (codePoint < 127) return static_cast<int>(codePoint);
  const ReverseTable& table = reverseTable();
  auto end = table.end();
  auto it = std::lower_bound(table.begin(), end, std::pair<char32_t, uint8_t>{codePoint, 0});
  if (it != end && it->first == codePoint) return it->second;
  return -1;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string cp437ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char b : bytes) appendUtf8(out, cp437ToUnicode(static_cast<uint8_t>(b)));
  return out;
}

size_t decodeUtf8(std::string_view bytes, char32_t& codePoint) {
  if (bytes.empty()) return 0;
  const auto lead = static_cast<uint8_t>(bytes[0]);
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  size_t length;
  char32_t value;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    codePoint = 0xFFFD;
    return 1;
  }
  for (size_t i = 1; i < length; ++i) {
    if (i >= bytes.size()) return 0;
    const auto next = static_cast<uint8_t>(bytes[i]);
    if ((next & 0xC0) != 0x80) {
      codePoint = 0xFFFD;
      return 1;
    }
    value = (value << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are malformed.
  if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    codePoint = 0xFFFD;
    return 1;
  }
  codePoint = value;
  return length;
}

namespace {

char32_t cp437TextCharacter(uint8_t byte) {
  return byte < 128 ? byte : cp437HighGlyphs[byte - 127];
}

}  // namespace

int unicodeTextToCp437(char32_t codePoint) {
  if (codePoint < 128) return static_cast<int>(codePoint);
  const int byte = unicodeToCp437(codePoint);
  // The glyphs of the control bytes are no text characters: U+263A is no Ctrl+A.
  return byte >= 128 ? byte : -1;
}

std::string cp437TextToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char b : text) appendUtf8(out, cp437TextCharacter(static_cast<uint8_t>(b)));
  return out;
}

std::u16string cp437TextToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  // Every character of the code page lies in the Basic Multilingual Plane: one unit each.
  for (char b : text) out += static_cast<char16_t>(cp437TextCharacter(static_cast<uint8_t>(b)));
  return out;
}

std::string utf8TextToCp437(std::string_view utf8, char substitute) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    char32_t c;
    size_t used = decodeUtf8(utf8, c);
    if (used == 0) {  // cut short at the end
      c = 0xFFFD;
      used = utf8.size();
    }
    utf8.remove_prefix(used);
    const int byte = unicodeTextToCp437(c);
    out += byte >= 0 ? static_cast<char>(byte) : substitute;
  }
  return out;
}

std::string utf16TextToCp437(std::u16string_view utf16, char substitute) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char16_t unit = utf16[i];
    // A surrogate pair is one character beyond the code page, and so is a lone surrogate.
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      ++i;
    }
    const int byte = unicodeTextToCp437(unit);
    out += byte >= 0 ? static_cast<char>(byte) : substitute;
  }
  return out;
}
