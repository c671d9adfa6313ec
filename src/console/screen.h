#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The text screen: cells of code-page-437 bytes with colours, and a cursor. Positions count
// from 1. No operation reports or raises anything: a coordinate or colour out of range leaves
// the current one as it is.

// The little the screen service keeps for itself; the cells, the cursor's position and the
// screen's size always come from the console. The console handles stay with the host.
struct ScreenState {
  bool stdinIsConsole = false;
  bool stdoutIsConsole = false;
  int32_t currentForeground = 7;
  int32_t currentBackground = 0;
  int32_t cursorSize = 10;
  bool cursorVisible = true;
  // Text filled the bottom row's last cell; the scroll the next character needs is owed.
  bool pendingWrap = false;
};

extern ScreenState screenState;

inline int32_t currentAttribute() {
  return screenState.currentBackground * 16 + screenState.currentForeground;
}

// Start-up, once, before the application runs.
void prepareConsole();
// The colours and the wrap flag as the application's main procedure finds them.
void resetScreenDefaults();

void clearScreen();
void setColor(int32_t foreground, int32_t background, int32_t recolourCount);
void locate(int32_t row, int32_t column);
void printText(std::string_view text);
void printNewline();
void printNumber(double value);
int32_t cellAttribute(int32_t row, int32_t column);
void setCursor(int32_t n);
void beep();

// Internal to the service, exposed for its tests.
struct ScreenExtent {
  int32_t width = 0;
  int32_t height = 0;
};
struct ScreenPosition {
  int32_t row = 1;
  int32_t column = 1;
};
ScreenExtent screenSize();
ScreenExtent windowSize();
ScreenPosition cursorPosition();
void scrollUp();

// The text `printNumber` prints for a value.
std::string numberText(double value);
