// Turning one console input event into a key string.

#include <gtest/gtest.h>

#include "console/key_event.h"

namespace {

namespace flag = controlStateFlag;

KeyEvent press(uint8_t scan, uint8_t character, uint16_t state = 0) {
  KeyEvent e;
  e.scanCode = scan;
  e.character = character;
  e.controlState = state;
  return e;
}

std::string ext(uint8_t code) {
  return std::string{'\0', static_cast<char>(code)};
}

TEST(TranslateKeyEvent, CharactersAndTheirRelease) {
  EXPECT_EQ(translateKeyEvent(press(30, 'a')), "a");
  KeyEvent release = press(30, 'a');
  release.down = false;
  EXPECT_EQ(translateKeyEvent(release), std::nullopt);
  EXPECT_EQ(translateKeyEvent(press(28, 13)), "\r");
  EXPECT_EQ(translateKeyEvent(press(14, 8)), "\b");
  EXPECT_EQ(translateKeyEvent(press(15, 9)), "\t");
  EXPECT_EQ(translateKeyEvent(press(1, 27)), "\x1b");
  EXPECT_EQ(translateKeyEvent(press(46, 3, flag::leftCtrl)), "\x03");
  EXPECT_EQ(translateKeyEvent(press(0, 0x84)), "\x84");
}

TEST(TranslateKeyEvent, NonKeyEventsAreDropped) {
  for (auto kind :
       {KeyEventKind::mouse, KeyEventKind::windowSize, KeyEventKind::menu, KeyEventKind::focus}) {
    KeyEvent e = press(30, 'a');
    e.kind = kind;
    EXPECT_EQ(translateKeyEvent(e), std::nullopt);
  }
}

TEST(TranslateKeyEvent, ModifierAndLockKeysAloneYieldNothing) {
  for (uint8_t code : {29, 42, 54, 56, 58, 69, 70}) {
    EXPECT_EQ(translateKeyEvent(press(code, 0)), std::nullopt) << int(code);
  }
}

TEST(TranslateKeyEvent, KeysWithoutCharacterIgnoreModifiers) {
  EXPECT_EQ(translateKeyEvent(press(59, 0)), ext(59));
  EXPECT_EQ(translateKeyEvent(press(59, 0, flag::shift)), ext(59));
  EXPECT_EQ(translateKeyEvent(press(59, 0, flag::leftCtrl)), ext(59));
  EXPECT_EQ(translateKeyEvent(press(59, 0, flag::leftAlt)), ext(59));
  EXPECT_EQ(translateKeyEvent(press(87, 0)), ext(87));
  EXPECT_EQ(translateKeyEvent(press(72, 0, flag::enhancedKey)), ext(72));
  EXPECT_EQ(translateKeyEvent(press(77, 0, flag::rightCtrl | flag::enhancedKey)), ext(77));
  EXPECT_EQ(translateKeyEvent(press(83, 0, flag::enhancedKey)), ext(83));
  EXPECT_EQ(translateKeyEvent(press(83, 0)), ext(83));
}

TEST(TranslateKeyEvent, AltWithALetterPositionGivesItsScanCode) {
  EXPECT_EQ(translateKeyEvent(press(30, 'a', flag::leftAlt)), ext(30));
  EXPECT_EQ(translateKeyEvent(press(2, '1', flag::leftAlt)), "1");
  // AltGr reports right Alt with Ctrl; the layout's character on the key is discarded.
  EXPECT_EQ(translateKeyEvent(press(16, '@', flag::rightAlt | flag::leftCtrl)), ext(16));
  for (uint8_t code : {16, 25, 30, 38, 44, 50}) {
    EXPECT_EQ(translateKeyEvent(press(code, 'x', flag::rightAlt)), ext(code));
  }
  for (uint8_t code : {15, 26, 29, 39, 43, 51}) {
    EXPECT_EQ(translateKeyEvent(press(code, 'x', flag::rightAlt)), "x");
  }
}

TEST(TranslateKeyEvent, CapsLockCorrectsDigitAndPunctuationKeysOnly) {
  const uint16_t caps = flag::capsLock;
  EXPECT_EQ(translateKeyEvent(press(2, '!', caps)), "1");
  EXPECT_EQ(translateKeyEvent(press(2, '1', caps | flag::shift)), "!");
  EXPECT_EQ(translateKeyEvent(press(2, '1', caps)), "1");
  EXPECT_EQ(translateKeyEvent(press(53, '/', caps | flag::shift)), "?");
  EXPECT_EQ(translateKeyEvent(press(40, '"', caps)), "'");
  EXPECT_EQ(translateKeyEvent(press(2, 'x', caps | flag::shift)), "x");  // neither member
  EXPECT_EQ(translateKeyEvent(press(30, 'A', caps)), "A");               // letters untouched
  EXPECT_EQ(translateKeyEvent(press(2, '!')), "!");                      // Caps Lock off
}

TEST(TranslateKeyEvent, EscWithoutCharacterDependsOnCapsLock) {
  EXPECT_EQ(translateKeyEvent(press(1, 0, flag::capsLock)), "\x1b");
  EXPECT_EQ(translateKeyEvent(press(1, 0)), std::string(1, '\0'));
}

TEST(TranslateKeyEvent, RepeatCountGivesOneKeyString) {
  KeyEvent e = press(30, 'a');
  e.repeatCount = 3;
  EXPECT_EQ(translateKeyEvent(e), "a");
}

}  // namespace
