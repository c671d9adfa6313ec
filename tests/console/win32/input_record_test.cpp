#include "console/win32/input_record.h"

#include <gtest/gtest.h>

#include <string>

namespace {

INPUT_RECORD keyRecord(bool down, WORD scan, wchar_t character, DWORD controlState,
                       WORD repeat = 1) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  record.Event.KeyEvent.wRepeatCount = repeat;
  record.Event.KeyEvent.wVirtualScanCode = scan;
  record.Event.KeyEvent.uChar.UnicodeChar = character;
  record.Event.KeyEvent.dwControlKeyState = controlState;
  return record;
}

std::string keyOf(const INPUT_RECORD& record) {
  KeyEvent event;
  if (!keyEventFromRecord(record, event)) return "<no character>";
  const auto key = translateKeyEvent(event);
  return key ? *key : std::string("<dropped>");
}

std::string ext(uint8_t code) {
  return std::string{'\0', static_cast<char>(code)};
}

}  // namespace

TEST(InputRecord, KeyFieldsAreTakenAsTheKeyboardReportsThem) {
  KeyEvent e;
  ASSERT_TRUE(keyEventFromRecord(
      keyRecord(true, 0x1E28, L'\u00e4',
                0x00010000 | RIGHT_ALT_PRESSED | SHIFT_PRESSED | ENHANCED_KEY, 3),
      e));
  EXPECT_EQ(e.kind, KeyEventKind::key);
  EXPECT_TRUE(e.down);
  EXPECT_EQ(e.repeatCount, 3);
  EXPECT_EQ(e.scanCode, 0x28);   // the low byte of the console's scan code
  EXPECT_EQ(e.character, 0x84);  // ä in code page 437
  // Bits above the low 16 (here a code-page flag) are no modifier.
  EXPECT_EQ(e.controlState,
            controlStateFlag::rightAlt | controlStateFlag::shift | controlStateFlag::enhancedKey);

  ASSERT_TRUE(keyEventFromRecord(keyRecord(false, 30, L'a', 0), e));
  EXPECT_FALSE(e.down);
}

TEST(InputRecord, OtherEventsAreNoKeys) {
  INPUT_RECORD record{};
  const std::pair<WORD, KeyEventKind> kinds[] = {
      {MOUSE_EVENT, KeyEventKind::mouse},
      {WINDOW_BUFFER_SIZE_EVENT, KeyEventKind::windowSize},
      {MENU_EVENT, KeyEventKind::menu},
      {FOCUS_EVENT, KeyEventKind::focus},
  };
  KeyEvent e;
  for (const auto& [type, kind] : kinds) {
    record.EventType = type;
    ASSERT_TRUE(keyEventFromRecord(record, e)) << type;
    EXPECT_EQ(e.kind, kind) << type;
    EXPECT_EQ(keyOf(record), "<dropped>") << type;
  }
  record.EventType = 0x0020;  // a kind this program does not know
  ASSERT_TRUE(keyEventFromRecord(record, e));
  EXPECT_NE(e.kind, KeyEventKind::key);
  EXPECT_EQ(keyOf(record), "<dropped>");
}

TEST(InputRecord, RecordsAsTheConsoleSendsThemGiveTheirKeyStrings) {
  EXPECT_EQ(keyOf(keyRecord(true, 30, L'a', 0)), "a");
  EXPECT_EQ(keyOf(keyRecord(false, 30, L'a', 0)), "<dropped>");
  EXPECT_EQ(keyOf(keyRecord(true, 72, 0, ENHANCED_KEY)), ext(72));
  EXPECT_EQ(keyOf(keyRecord(true, 83, 0, NUMLOCK_ON | ENHANCED_KEY)), ext(83));
  EXPECT_EQ(keyOf(keyRecord(true, 30, L'a', LEFT_ALT_PRESSED)), ext(30));
  EXPECT_EQ(keyOf(keyRecord(true, 42, 0, SHIFT_PRESSED)), "<dropped>");
  EXPECT_EQ(keyOf(keyRecord(true, 46, 3, LEFT_CTRL_PRESSED)), "\x03");
  EXPECT_EQ(keyOf(keyRecord(true, 14, 0x7F, LEFT_CTRL_PRESSED)), "\x7f");  // Ctrl+Backspace
  // Wine reports Esc without a character; with Caps Lock off that is the single byte 0.
  EXPECT_EQ(keyOf(keyRecord(true, 1, 0, 0)), std::string(1, '\0'));
  EXPECT_EQ(keyOf(keyRecord(true, 1, 27, 0)), "\x1b");
}

TEST(InputRecord, LettersBeyondAsciiComeAsTheirCodePage437Bytes) {
  // Whatever the console's input code page: on 850 and 1252 these would be other bytes.
  EXPECT_EQ(keyOf(keyRecord(true, 0x1A, L'\u00fc', 0)), "\x81");              // ü
  EXPECT_EQ(keyOf(keyRecord(true, 0x28, L'\u00c4', SHIFT_PRESSED)), "\x8e");  // Ä
  EXPECT_EQ(keyOf(keyRecord(true, 0x35, L'\u00e9', 0)), "\x82");              // é
  EXPECT_EQ(keyOf(keyRecord(true, 0x0C, L'\u00df', 0)), "\xe1");              // ß
  EXPECT_EQ(keyOf(keyRecord(true, 0x29, L'\u00b0', SHIFT_PRESSED)), "\xf8");  // °
  EXPECT_EQ(keyOf(keyRecord(true, 0, L'\u2552', 0)), "\xd5");                 // pasted ╒

  // A character the code page lacks types nothing, pasted or from the layout; a control
  // glyph is no control character.
  EXPECT_EQ(keyOf(keyRecord(true, 0x12, L'\u20ac', 0)), "<no character>");  // €
  EXPECT_EQ(keyOf(keyRecord(true, 0, L'\u263a', 0)), "<no character>");     // ☺
  EXPECT_EQ(keyOf(keyRecord(true, 0, 0xD83D, 0)), "<no character>");        // half of 😀
  // With Alt a letter key still gives its scan code, whatever the layout puts on it.
  EXPECT_EQ(keyOf(keyRecord(true, 0x12, L'\u20ac', RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED)),
            ext(0x12));  // AltGr+E
  EXPECT_EQ(keyOf(keyRecord(true, 0x10, L'@', RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED)),
            ext(0x10));  // AltGr+Q
}
