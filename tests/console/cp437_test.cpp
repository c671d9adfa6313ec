#include <gtest/gtest.h>

#include "console/cp437.h"

namespace {

TEST(Cp437, EveryByteHasAGlyphThatMapsBack) {
  for (int b = 1; b < 256; ++b) {
    const char32_t glyph = cp437ToUnicode(static_cast<uint8_t>(b));
    EXPECT_EQ(unicodeToCp437(glyph), b) << b;
  }
  EXPECT_EQ(cp437ToUnicode(16), U'►');
  EXPECT_EQ(cp437ToUnicode(248), U'°');
  EXPECT_EQ(cp437ToUnicode(201), U'╔');
  EXPECT_EQ(unicodeToCp437(U'€'), -1);
}

TEST(Cp437, Utf8OfTheGlyphsAndMalformedInput) {
  EXPECT_EQ(cp437ToUtf8("\xD5\xCD\xB8 \x84"), "╒═╕ ä");
  char32_t c = 0;
  EXPECT_EQ(decodeUtf8("\xC3", c), 0u);      // incomplete: wait for more
  EXPECT_EQ(decodeUtf8("\xC0\x80", c), 1u);  // overlong: one malformed byte
  EXPECT_EQ(c, U'\uFFFD');
  EXPECT_EQ(decodeUtf8("\xED\xA0\x80", c), 1u);  // surrogate
  EXPECT_EQ(decodeUtf8("\xF0\x9F\x98\x80", c), 4u);
  EXPECT_EQ(c, U'\U0001F600');
}

TEST(Cp437, TextForTheSystemKeepsControlsAndConvertsLetters) {
  // Every byte survives the trip out to UTF-8 or UTF-16 and back.
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8TextToCp437(cp437TextToUtf8(all), '?'), all);
  EXPECT_EQ(utf16TextToCp437(cp437TextToUtf16(all), '?'), all);

  EXPECT_EQ(cp437TextToUtf8("C:\\B\x81"
                            "cher \x84\x82"),
            "C:\\Bücher äé");
  EXPECT_EQ(cp437TextToUtf16("B\x81\x84\x82\xE1"), u"Büäéß");
  // Controls stay controls in text; on the screen they are glyphs.
  EXPECT_EQ(cp437TextToUtf8("a\tb\x7f"), "a\tb\x7f");
  EXPECT_EQ(cp437TextToUtf16("\x01"), u"\x01");
  EXPECT_EQ(unicodeTextToCp437(U'\u263A'), -1);  // the glyph of byte 1 is no Ctrl+A
  EXPECT_EQ(unicodeTextToCp437(U'\u2302'), -1);
  EXPECT_EQ(unicodeTextToCp437(0x7F), 0x7F);
  EXPECT_EQ(unicodeTextToCp437(U'ü'), 0x81);
  EXPECT_EQ(unicodeTextToCp437(U'€'), -1);

  // What the code page lacks, and what is malformed, becomes the substitute, one for each.
  EXPECT_EQ(utf8TextToCp437("/home/李/€x\xFF\xC3", '?'), "/home/?/?x??");
  EXPECT_EQ(utf16TextToCp437(u"a\U0001F600b\xD800"
                             u"c\xDC00",
                             '?'),
            "a?b?c?");
}

}  // namespace
