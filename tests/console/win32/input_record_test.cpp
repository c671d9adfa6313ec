#include "console/win32/input_record.h"

#include <gtest/gtest.h>

#include <string>

namespace {

INPUT_RECORD keyRecord(bool down, WORD scan, char character, DWORD controlState, WORD repeat = 1) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  record.Event.KeyEvent.wRepeatCount = repeat;
  record.Event.KeyEvent.wVirtualScanCode = scan;
  record.Event.KeyEvent.uChar.AsciiChar = character;
  record.Event.KeyEvent.dwControlKeyState = controlState;
  return record;
}

std::string keyOf(const INPUT_RECORD& record) {
  const auto key = translateKeyEvent(keyEventFromRecord(record));
  return key ? *key : std::string("<dropped>");
}

}  // namespace

TEST(InputRecord, KeyFieldsAreTakenAsTheKeyboardReportsThem) {
  // 0x84 is "ä" in code page 437; CHAR is signed, and the byte must not come out negative.
  const KeyEvent e = keyEventFromRecord(
      keyRecord(true, 0x1E28, static_cast<char>(0x84),
                0x00010000 | RIGHT_ALT_PRESSED | SHIFT_PRESSED | ENHANCED_KEY, 3));
  EXPECT_EQ(e.kind, KeyEventKind::key);
  EXPECT_TRUE(e.down);
  EXPECT_EQ(e.repeatCount, 3);
  EXPECT_EQ(e.scanCode, 0x28);  // the low byte of the console's scan code
  EXPECT_EQ(e.character, 0x84);
  // Bits above the low 16 (here a code-page flag) are no modifier.
  EXPECT_EQ(e.controlState,
            controlStateFlag::rightAlt | controlStateFlag::shift | controlStateFlag::enhancedKey);

  EXPECT_FALSE(keyEventFromRecord(keyRecord(false, 30, 'a', 0)).down);
}

TEST(InputRecord, OtherEventsAreNoKeys) {
  INPUT_RECORD record{};
  const std::pair<WORD, KeyEventKind> kinds[] = {
      {MOUSE_EVENT, KeyEventKind::mouse},
      {WINDOW_BUFFER_SIZE_EVENT, KeyEventKind::windowSize},
      {MENU_EVENT, KeyEventKind::menu},
      {FOCUS_EVENT, KeyEventKind::focus},
  };
  for (const auto& [type, kind] : kinds) {
    record.EventType = type;
    EXPECT_EQ(keyEventFromRecord(record).kind, kind) << type;
    EXPECT_EQ(keyOf(record), "<dropped>") << type;
  }
  record.EventType = 0x0020;  // a kind this program does not know
  EXPECT_NE(keyEventFromRecord(record).kind, KeyEventKind::key);
  EXPECT_EQ(keyOf(record), "<dropped>");
}

TEST(InputRecord, RecordsAsTheConsoleSendsThemGiveTheirKeyStrings) {
  EXPECT_EQ(keyOf(keyRecord(true, 30, 'a', 0)), "a");
  EXPECT_EQ(keyOf(keyRecord(false, 30, 'a', 0)), "<dropped>");
  EXPECT_EQ(keyOf(keyRecord(true, 72, 0, ENHANCED_KEY)), std::string("\0\x48", 2));
  EXPECT_EQ(keyOf(keyRecord(true, 83, 0, NUMLOCK_ON | ENHANCED_KEY)), std::string("\0\x53", 2));
  EXPECT_EQ(keyOf(keyRecord(true, 30, 'a', LEFT_ALT_PRESSED)), std::string("\0\x1e", 2));
  EXPECT_EQ(keyOf(keyRecord(true, 42, 0, SHIFT_PRESSED)), "<dropped>");
  EXPECT_EQ(keyOf(keyRecord(true, 46, 3, LEFT_CTRL_PRESSED)), "\x03");
  EXPECT_EQ(keyOf(keyRecord(true, 0x1A, static_cast<char>(0x81), 0)), "\x81");
  // Wine reports Esc without a character; with Caps Lock off that is the single byte 0.
  EXPECT_EQ(keyOf(keyRecord(true, 1, 0, 0)), std::string(1, '\0'));
  EXPECT_EQ(keyOf(keyRecord(true, 1, 27, 0)), "\x1b");
}
