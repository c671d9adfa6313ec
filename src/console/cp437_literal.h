#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "console/cp437_glyphs.h"

// "..."_cp437: a fixed text written in UTF-8 in the source, as the code-page-437 bytes the
// screen shows, converted by the compiler. A character the code page lacks does not compile.
// Tables of such texts are constants: nothing builds them at run time, so nothing can fail.

namespace cp437Literal {

template <size_t N>
struct Utf8 {
  char text[N] = {};
  // Implicit: the literal operator deduces this from the string literal itself.
  consteval Utf8(const char (&literal)[N]) {
    for (size_t i = 0; i < N; ++i) text[i] = literal[i];
  }
};

// At most as many bytes as the UTF-8 text (with its terminating zero) has.
template <size_t N>
struct Bytes {
  char bytes[N] = {};
  size_t size = 0;
};

consteval uint8_t byteFor(char32_t codePoint) {
  if (codePoint >= 32 && codePoint < 127) return static_cast<uint8_t>(codePoint);
  for (int byte = 1; byte < 256; ++byte) {
    if ((byte < 32 || byte >= 127) && cp437Glyph(static_cast<uint8_t>(byte)) == codePoint) {
      return static_cast<uint8_t>(byte);
    }
  }
  throw "code page 437 has no such character";
}

template <size_t N>
consteval Bytes<N> toCp437(const Utf8<N>& utf8) {
  Bytes<N> out;
  size_t i = 0;
  while (i + 1 < N) {  // the last char is the literal's terminating zero
    const auto lead = static_cast<uint8_t>(utf8.text[i]);
    size_t length = 1;
    char32_t codePoint = lead;
    if (lead >= 0xF0) {
      throw "outside the code page";
    } else if (lead >= 0xE0) {
      length = 3;
      codePoint = lead & 0x0Fu;
    } else if (lead >= 0xC0) {
      length = 2;
      codePoint = lead & 0x1Fu;
    } else if (lead >= 0x80) {
      throw "not UTF-8";
    }
    for (size_t k = 1; k < length; ++k) {
      codePoint = (codePoint << 6) | (static_cast<uint8_t>(utf8.text[i + k]) & 0x3Fu);
    }
    out.bytes[out.size++] = static_cast<char>(byteFor(codePoint));
    i += length;
  }
  return out;
}

template <Utf8 utf8>
inline constexpr auto converted = toCp437(utf8);

}  // namespace cp437Literal

template <cp437Literal::Utf8 utf8>
constexpr std::string_view operator""_cp437() {
  return {cp437Literal::converted<utf8>.bytes, cp437Literal::converted<utf8>.size};
}
