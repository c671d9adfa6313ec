#include "console/cp437.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Glyphs of bytes 0x00-0x1F and 0x7F-0xFF; 0x20-0x7E are ASCII.
constexpr char16_t lowGlyphs[32] = {0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
                                    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
                                    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
                                    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};

constexpr char16_t highGlyphs[129] = {
    0x2302,  // 0x7F
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

using ReverseTable = std::array<std::pair<char32_t, uint8_t>, 160>;

// Glyph code points of bytes 1-31 and 127-255, sorted for lookup.
const ReverseTable& reverseTable() {
  static const ReverseTable table = [] {
    ReverseTable t{};
    size_t n = 0;
    for (int b = 1; b < 32; ++b) t[n++] = {lowGlyphs[b], static_cast<uint8_t>(b)};
    for (int b = 127; b < 256; ++b) t[n++] = {highGlyphs[b - 127], static_cast<uint8_t>(b)};
    std::sort(t.begin(), t.begin() + n);
    return t;
  }();
  return table;
}

}  // namespace

char32_t cp437ToUnicode(uint8_t byte) {
  if (byte < 32) return lowGlyphs[byte];
  if (byte < 127) return byte;
  return highGlyphs[byte - 127];
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

std::string utf8ToCp437(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    char32_t c;
    size_t used = decodeUtf8(utf8, c);
    if (used == 0) break;  // a sequence cut short at the end
    utf8.remove_prefix(used);
    int byte = unicodeToCp437(c);
    if (byte >= 0) out += static_cast<char>(byte);
  }
  return out;
}

namespace {

char32_t cp437TextCharacter(uint8_t byte) {
  return byte < 128 ? byte : highGlyphs[byte - 127];
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
