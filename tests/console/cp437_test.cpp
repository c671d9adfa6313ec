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

TEST(Cp437, Utf8RoundTripAndMalformedInput) {
  const std::string box = utf8ToCp437("╒═╕ ä");
  EXPECT_EQ(box, "\xD5\xCD\xB8 \x84");
  EXPECT_EQ(cp437ToUtf8(box), "╒═╕ ä");
  EXPECT_EQ(utf8ToCp437("a\xFF"
                        "b\xE2\x82"),
            "ab");  // a stray byte and a cut sequence drop
  char32_t c = 0;
  EXPECT_EQ(decodeUtf8("\xC3", c), 0u);      // incomplete: wait for more
  EXPECT_EQ(decodeUtf8("\xC0\x80", c), 1u);  // overlong: one malformed byte
  EXPECT_EQ(c, U'\uFFFD');
  EXPECT_EQ(decodeUtf8("\xED\xA0\x80", c), 1u);  // surrogate
  EXPECT_EQ(decodeUtf8("\xF0\x9F\x98\x80", c), 4u);
  EXPECT_EQ(c, U'\U0001F600');
}

}  // namespace
