#include "console/win32/input_record.h"

#include "console/cp437.h"

namespace {

KeyEventKind kindOf(WORD eventType) {
  switch (eventType) {
    case KEY_EVENT:
      return KeyEventKind::key;
    case MOUSE_EVENT:
      return KeyEventKind::mouse;
    case WINDOW_BUFFER_SIZE_EVENT:
      return KeyEventKind::windowSize;
    case FOCUS_EVENT:
      return KeyEventKind::focus;
    default:
      // MENU_EVENT, and any kind a later console may add: none of them is a key.
      return KeyEventKind::menu;
  }
}

}  // namespace

bool keyEventFromRecord(const INPUT_RECORD& record, KeyEvent& event) {
  event = KeyEvent{};
  event.kind = kindOf(record.EventType);
  if (event.kind != KeyEventKind::key) return true;
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  event.down = key.bKeyDown != FALSE;
  event.repeatCount = key.wRepeatCount;
  event.scanCode = static_cast<uint8_t>(key.wVirtualScanCode & 0xFF);
  event.controlState = static_cast<uint16_t>(key.dwControlKeyState & 0xFFFF);
  const int character = unicodeTextToCp437(key.uChar.UnicodeChar);
  if (character >= 0) {
    event.character = static_cast<uint8_t>(character);
    return true;
  }
  const bool alt = event.controlState & (controlStateFlag::leftAlt | controlStateFlag::rightAlt);
  return alt;
}
