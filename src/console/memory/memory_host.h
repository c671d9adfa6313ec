#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "console/key_event.h"

// The host the tests link against: the screen is `screenGrid` (console/grid), the keyboard a
// scripted queue of events, and the start and end of the program are recorded.
struct MemoryHost {
  std::deque<KeyEvent> events;
  int beeps = 0;
  int flushes = 0;
  bool stdinIsConsole = true;
  bool stdoutIsConsole = true;
  bool threadStorageFails = false;
  std::string commandLine = "harrowkeeps.exe";
  // Steps of the program's start and end, in the order they ran.
  std::vector<std::string> lifecycle;
  int exitCode = -1;
  // Called each time the program is about to wait for a key, with the queue as it stands; a
  // test takes its look at the screen here or feeds the next keys.
  std::function<void()> beforeWait;
};

extern MemoryHost memoryHost;

// Thrown when the program waits for a key and the queue is empty after `beforeWait`: the
// test's script is over, and the program would wait for ever.
struct ScriptExhausted {};

// A fresh host with an 80 x 25 screen (or the given size) of grey on black blanks.
void resetMemoryHost(int32_t width = 80, int32_t height = 25);

// Queues key presses as the keyboard reports them.
void pushEvent(const KeyEvent& event);
// Each byte as the press of the US-layout key that gives it (Shift where needed); bytes 1-26
// as Ctrl with a letter, 8 as Backspace, 9 Tab, 13 Enter, 27 Esc; bytes from 128 without a
// key position.
void typeText(std::string_view bytes);
// A key without a character: Up, F1, Del, ...
void pressKey(uint8_t scanCode, uint16_t controlState = 0);

// What a screen row shows, as UTF-8 (each code-page-437 byte as its glyph), rows from 1.
std::string screenRow(int32_t row);
// The attribute of a cell, rows and columns from 1.
int screenAttribute(int32_t row, int32_t column);
