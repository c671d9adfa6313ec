#include "console/screen.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "console/screen_host.h"

ScreenState screenState;

namespace {

ConsolePosition toConsole(ScreenPosition p) {
  return {p.row - 1, p.column - 1};
}

}  // namespace

ScreenExtent screenSize() {
  ConsoleSize size;
  if (!hostBufferSize(size)) return {};
  return {size.width, size.height};
}

ScreenExtent windowSize() {
  ConsoleSize size;
  if (!hostWindowSize(size)) return {};
  return {size.width, size.height};
}

ScreenPosition cursorPosition() {
  ConsolePosition position;
  if (!hostCursorPosition(position)) return {};
  return {position.row + 1, position.column + 1};
}

void prepareConsole() {
  hostOpenConsole(screenState);
  int32_t size = 0;
  bool visible = true;
  if (hostCursorInfo(size, visible) && size != 0) {
    screenState.cursorSize = size;
    screenState.cursorVisible = visible;
  } else {
    screenState.cursorSize = 10;
    screenState.cursorVisible = true;
    hostSetCursorInfo(screenState.cursorSize, screenState.cursorVisible);
  }
}

void resetScreenDefaults() {
  screenState.currentForeground = 7;
  screenState.currentBackground = 0;
  screenState.pendingWrap = false;
}

void scrollUp() {
  const ScreenExtent size = screenSize();
  if (size.height <= 0) return;
  const Cell blank{' ', static_cast<uint8_t>(currentAttribute())};
  hostScrollRows(1, size.height - 1, 0, blank);
}

void locate(int32_t row, int32_t column) {
  const ScreenExtent size = screenSize();
  const ScreenPosition now = cursorPosition();
  if (column < 1 || column > size.width) column = now.column;
  if (row < 1 || row > size.height) row = now.row;
  hostSetCursorPosition(toConsole({row, column}));
  screenState.pendingWrap = false;
}

void printText(std::string_view text) {
  if (text.empty()) return;
  const auto attribute = static_cast<uint8_t>(currentAttribute());
  ScreenPosition at = cursorPosition();
  const ScreenExtent size = screenSize();
  if (size.width <= 0 || size.height <= 0) return;

  std::vector<Cell> segment;
  segment.reserve(static_cast<size_t>(size.width));
  while (!text.empty()) {
    if (screenState.pendingWrap) {
      screenState.pendingWrap = false;
      scrollUp();
    }
    const auto room = static_cast<size_t>(size.width - at.column + 1);
    const size_t length = std::min(room, text.size());
    segment.clear();
    for (size_t i = 0; i < length; ++i) {
      segment.push_back({static_cast<uint8_t>(text[i]), attribute});
    }
    hostWriteRow(toConsole(at), segment.data(), static_cast<int32_t>(length));
    text.remove_prefix(length);
    at.column += static_cast<int32_t>(length);
    if (at.column > size.width) {
      at.column = 1;
      if (at.row == size.height) {
        screenState.pendingWrap = true;
      } else {
        ++at.row;
      }
    }
  }
  hostSetCursorPosition(toConsole(at));
}

void printNewline() {
  const ScreenPosition at = cursorPosition();
  const ScreenExtent size = screenSize();
  if (at.row >= size.height) {
    if (screenState.pendingWrap) {
      screenState.pendingWrap = false;
      scrollUp();
    }
    scrollUp();
    hostSetCursorPosition(toConsole({at.row, 1}));
  } else {
    hostSetCursorPosition(toConsole({at.row + 1, 1}));
  }
  screenState.pendingWrap = false;
}

std::string numberText(double value) {
  std::string text = value < 0 ? "-" : " ";
  const double magnitude = std::fabs(value);
  char digits[64];
  if (magnitude < 1e15 && magnitude == std::floor(magnitude)) {
    std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(magnitude));
  } else {
    // Fractions and very large values: 15 significant digits, no trailing zeros.
    std::snprintf(digits, sizeof digits, "%.15G", magnitude);
  }
  text += digits;
  text += ' ';
  return text;
}

void printNumber(double value) {
  printText(numberText(value));
}

void clearScreen() {
  const bool hide = screenState.cursorVisible;
  if (hide) hostSetCursorInfo(screenState.cursorSize, false);
  const ScreenExtent size = screenSize();
  const int32_t count = size.width * size.height;
  hostFillCharacters({0, 0}, count, ' ');
  hostFillAttributes({0, 0}, count, static_cast<uint8_t>(currentAttribute()));
  locate(1, 1);
  if (hide) hostSetCursorInfo(screenState.cursorSize, true);
}

void setColor(int32_t foreground, int32_t background, int32_t recolourCount) {
  if (foreground < 0 || foreground > 15) foreground = screenState.currentForeground;
  if (background < 0 || background > 15) background = screenState.currentBackground;
  screenState.currentForeground = foreground;
  screenState.currentBackground = background;
  const auto attribute = static_cast<uint8_t>(currentAttribute());
  hostSetDefaultAttribute(attribute);
  const ScreenExtent window = windowSize();
  if (recolourCount >= 1 && recolourCount <= window.width * window.height) {
    hostFillAttributes(toConsole(cursorPosition()), recolourCount, attribute);
  }
}

int32_t cellAttribute(int32_t row, int32_t column) {
  if (row == 0) return currentAttribute();
  Cell cell;
  if (!hostReadCell(toConsole({row, column}), cell)) return 0;
  return cell.attribute;
}

void setCursor(int32_t n) {
  if (n == 0) {
    screenState.cursorVisible = false;
  } else if (n < 0) {
    screenState.cursorVisible = true;
  } else {
    screenState.cursorSize = n <= 10 ? 10 : (n >= 99 ? 99 : n);
    screenState.cursorVisible = true;
  }
  hostSetCursorInfo(screenState.cursorSize, screenState.cursorVisible);
}

void beep() {
  hostBeep();
}
