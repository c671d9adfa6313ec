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

// Text exchanged with the operating system (command lines, environment values, typed
// characters) uses the control characters as controls: there bytes 0-31 and 127 stand for
// U+0000-U+001F and U+007F, not for the screen's glyphs, and only bytes 128-255 are letters,
// lines and symbols: the field's bytes 'B' 0x81 'c' 'h' 'e' 'r' name the folder "Bücher".

// The code-page-437 byte of a character of such text, or -1 when the code page has none.
int unicodeTextToCp437(char32_t codePoint);

// Code-page-437 text as UTF-8 (Unix names and arguments) and as UTF-16 (Windows).
std::string cp437TextToUtf8(std::string_view text);
std::u16string cp437TextToUtf16(std::string_view text);

// UTF-8 or UTF-16 text as code-page-437 bytes; a character the code page lacks, and a
// malformed sequence, becomes `substitute`.
std::string utf8TextToCp437(std::string_view utf8, char substitute);
std::string utf16TextToCp437(std::u16string_view utf16, char substitute);
