#include <array>

#include "console/key_event.h"

namespace {

// Keys whose presses without a character are dropped: Ctrl, both Shifts, Alt and the locks.
bool isLockKey(uint8_t code) {
  switch (code) {
    case 29:
    case 42:
    case 54:
    case 56:
    case 58:
    case 69:
    case 70:
      return true;
    default:
      return false;
  }
}

bool isAltLetterPosition(uint8_t code) {
  return (code >= 16 && code <= 25) || (code >= 30 && code <= 38) || (code >= 44 && code <= 50);
}

struct CapsLockPair {
  uint8_t scanCode;
  char unshifted;
  char shifted;
};

// The digit and punctuation keys of the US layout, whose Caps Lock reports the keyboard gets
// wrong on some layouts: the member matching the Shift key actually held wins.
constexpr std::array<CapsLockPair, 21> capsLockPairs{{
    {2, '1', '!'},   {3, '2', '@'},  {4, '3', '#'},   {5, '4', '$'},  {6, '5', '%'},
    {7, '6', '^'},   {8, '7', '&'},  {9, '8', '*'},   {10, '9', '('}, {11, '0', ')'},
    {12, '-', '_'},  {13, '=', '+'}, {26, '[', '{'},  {27, ']', '}'}, {39, ';', ':'},
    {40, '\'', '"'}, {41, '`', '~'}, {43, '\\', '|'}, {51, ',', '<'}, {52, '.', '>'},
    {53, '/', '?'},
}};

uint8_t capsLockCorrection(uint8_t c, const KeyEvent& event) {
  if ((event.controlState & controlStateFlag::capsLock) == 0) return c;
  for (const CapsLockPair& pair : capsLockPairs) {
    if (pair.scanCode != event.scanCode) continue;
    const auto unshifted = static_cast<uint8_t>(pair.unshifted);
    const auto shifted = static_cast<uint8_t>(pair.shifted);
    if (event.controlState & controlStateFlag::shift) return c == unshifted ? shifted : c;
    return c == shifted ? unshifted : c;
  }
  if (event.scanCode == scanCode::esc) return 27;
  return c;
}

std::string extendedKey(uint8_t code) {
  return std::string{'\0', static_cast<char>(code)};
}

}  // namespace

std::optional<std::string> translateKeyEvent(const KeyEvent& event) {
  if (event.kind != KeyEventKind::key || !event.down) return std::nullopt;
  const bool alt = event.controlState & (controlStateFlag::rightAlt | controlStateFlag::leftAlt);
  if (event.character != 0) {
    if (alt && isAltLetterPosition(event.scanCode)) return extendedKey(event.scanCode);
    return std::string(1, static_cast<char>(capsLockCorrection(event.character, event)));
  }
  if (event.scanCode == scanCode::esc) {
    return std::string(1, static_cast<char>(capsLockCorrection(0, event)));
  }
  if (isLockKey(event.scanCode)) return std::nullopt;
  return extendedKey(event.scanCode);
}
