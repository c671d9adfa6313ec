#include "app/menu_key.h"

#include "console/keyboard.h"
#include "console/screen.h"

std::string upperCaseKey(std::string key) {
  for (char& byte : key) {
    const auto c = static_cast<unsigned char>(byte);
    unsigned char upper = c;
    if (c >= 'a' && c <= 'z') {
      upper = static_cast<unsigned char>(c - 'a' + 'A');
    } else {
      switch (c) {
        case 132:
          upper = 142;
          break;  // ä
        case 148:
          upper = 153;
          break;  // ö
        case 129:
          upper = 154;
          break;  // ü
        case 130:
          upper = 144;
          break;  // é
        case 164:
          upper = 165;
          break;  // ñ
        case 134:
          upper = 143;
          break;  // å
        case 135:
          upper = 128;
          break;  // ç
        default:
          break;
      }
    }
    byte = static_cast<char>(upper);
  }
  return key;
}

void waitForMenuKey() {
  // keyAvailable answers -1 for true, so its bitwise NOT is 0 exactly when a key waits. Between
  // polls that find nothing the wait blocks on the keyboard rather than spinning.
  while (~keyAvailable()) waitForKeyboardInput();
}

void drawMenuAndTakeKey(std::span<const ScreenLine> lines, int32_t echoRow, std::string& key) {
  setColor(14, 3, 0);
  flushKeys();
  clearScreen();
  printLines(lines);
  waitForMenuKey();
  locate(echoRow, 51);
  key = upperCaseKey(readKey());
  printText(key);
  printNewline();
  clearScreen();
}
