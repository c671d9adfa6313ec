#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Code page 437 is the screen's character set: every byte, control bytes included, has a glyph.

// The Unicode code point shown for a code-page-437 byte.
char32_t cp437ToUnicode(uint8_t byte);

// The code-page-437 byte for a code point, or -1 when the code page has none. Printable ASCII
// maps to itself; the control glyphs (U+263A, U+25BA, ...) map back to bytes 1 to 31 and 127.
int unicodeToCp437(char32_t codePoint);

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, char32_t codePoint);

// A text of code-page-437 bytes as UTF-8.
std::string cp437ToUtf8(std::string_view bytes);

// Decodes one UTF-8 sequence from the front of `bytes`. Returns the number of bytes it takes
// (0 when the sequence is incomplete and more bytes may complete it) and stores the code point,
// U+FFFD for a malformed sequence (which then takes one byte).
size_t decodeUtf8(std::string_view bytes, char32_t& codePoint);

// A UTF-8 text as code-page-437 bytes; characters the code page lacks are dropped. The program's
// fixed texts are written in UTF-8 in the sources and turned into screen bytes with this.
std::string utf8ToCp437(std::string_view utf8);
