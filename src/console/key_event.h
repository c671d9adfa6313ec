#pragma once
#include <cstdint>
#include <optional>
#include <string>

// One event of the console's input queue, as the key translation sees it. On Windows it is one
// INPUT_RECORD; the terminal host builds the same record from the bytes the terminal sends.
enum class KeyEventKind : uint8_t { key, mouse, windowSize, menu, focus };

struct KeyEvent {
  KeyEventKind kind = KeyEventKind::key;
  bool down = true;
  uint16_t repeatCount = 1;
  uint8_t scanCode = 0;   // scan code set 1 make code of the key's position, no 0xE0 prefix
  uint8_t character = 0;  // code page 437, as the layout gives it with the modifiers held
  uint16_t controlState = 0;
};

namespace controlStateFlag {
constexpr uint16_t rightAlt = 0x0001;
constexpr uint16_t leftAlt = 0x0002;
constexpr uint16_t rightCtrl = 0x0004;
constexpr uint16_t leftCtrl = 0x0008;
constexpr uint16_t shift = 0x0010;
constexpr uint16_t numLock = 0x0020;
constexpr uint16_t scrollLock = 0x0040;
constexpr uint16_t capsLock = 0x0080;
constexpr uint16_t enhancedKey = 0x0100;
}  // namespace controlStateFlag

// Scan codes of the keys the program names.
namespace scanCode {
constexpr uint8_t esc = 1;
constexpr uint8_t backspace = 14;
constexpr uint8_t tab = 15;
constexpr uint8_t enter = 28;
constexpr uint8_t space = 57;
constexpr uint8_t f1 = 59;  // F1-F10 are 59-68
constexpr uint8_t f11 = 87;
constexpr uint8_t f12 = 88;
constexpr uint8_t home = 71;
constexpr uint8_t up = 72;
constexpr uint8_t pageUp = 73;
constexpr uint8_t left = 75;
constexpr uint8_t right = 77;
constexpr uint8_t end = 79;
constexpr uint8_t down = 80;
constexpr uint8_t pageDown = 81;
constexpr uint8_t insert = 82;
constexpr uint8_t del = 83;
}  // namespace scanCode

// The key string of one event: 1 byte (its character) or 2 bytes (0 and the scan code); no
// value when the event yields no key (releases, modifier keys alone, non-key events).
std::optional<std::string> translateKeyEvent(const KeyEvent& event);
