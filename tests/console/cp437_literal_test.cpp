// Texts converted to code page 437 by the compiler ("..."_cp437) are the bytes whose glyphs
// the text shows: every glyph of the code page, in 2- and 3-byte UTF-8.

#include <gtest/gtest.h>

#include <string>

#include "console/cp437.h"
#include "console/cp437_literal.h"

namespace {

static_assert("A ~"_cp437 == "A ~");
static_assert("╔═╗ °►"_cp437 == "\xC9\xCD\xBB \xF8\x10");

TEST(Cp437Literal, EveryGlyphConvertsAsAtRunTime) {
  constexpr std::string_view converted =
      "☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼⌂"
      "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒ"
      "áíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
      "└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀"
      "αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■ "_cp437;
  const std::string utf8 =
      "☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼⌂"
      "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒ"
      "áíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
      "└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀"
      "αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■ ";
  ASSERT_EQ(converted.size(), 160u);
  EXPECT_EQ(cp437ToUtf8(converted), utf8);
  EXPECT_EQ(static_cast<uint8_t>(converted.front()), 1);
  EXPECT_EQ(static_cast<uint8_t>(converted.back()), 255);
}

}  // namespace
