// The screen operations on the Windows console. The console is the screen: nothing is kept
// here but the handles, and every size, position and cell is asked of the console afresh.

#include <windows.h>

#include <vector>

#include "console/screen.h"
#include "console/screen_host.h"
#include "console/win32/cell_text.h"
#include "console/win32/console_handles.h"

ConsoleHandles consoleHandles;

namespace {

bool bufferInfo(CONSOLE_SCREEN_BUFFER_INFO& info) {
  return GetConsoleScreenBufferInfo(consoleHandles.screen, &info) != FALSE;
}

COORD toCoord(ConsolePosition position) {
  return {static_cast<SHORT>(position.column), static_cast<SHORT>(position.row)};
}

bool readCursorInfo(HANDLE handle, int32_t& size, bool& visible) {
  CONSOLE_CURSOR_INFO info{};
  if (!GetConsoleCursorInfo(handle, &info) || info.dwSize == 0) return false;
  size = static_cast<int32_t>(info.dwSize);
  visible = info.bVisible != FALSE;
  return true;
}

}  // namespace

void hostOpenConsole(ScreenState& state) {
  ConsoleHandles& h = consoleHandles;
  h.standardError = GetStdHandle(STD_ERROR_HANDLE);
  h.standardInput = GetStdHandle(STD_INPUT_HANDLE);
  h.standardOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  h.screen = h.standardError;
  // Kept whether or not the open succeeded; every look at the keyboard then simply fails.
  h.keyboard =
      CreateFileA("CONIN$", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (GetConsoleMode(h.standardOutput, &mode)) {
    h.screen = h.standardOutput;
    state.stdoutIsConsole = true;
  }
  // Processed output and wrap at the line's end, for what the commands the program runs write.
  SetConsoleMode(h.screen, ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT);
  state.stdinIsConsole = GetConsoleMode(h.standardInput, &mode) != FALSE;
  // No line input, no echo, no Ctrl+C processing, no window or mouse events.
  SetConsoleMode(h.standardInput, 0);
}

bool hostBufferSize(ConsoleSize& size) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!bufferInfo(info)) return false;
  size = {info.dwSize.X, info.dwSize.Y};
  return true;
}

bool hostWindowSize(ConsoleSize& size) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!bufferInfo(info)) return false;
  size = {info.srWindow.Right - info.srWindow.Left + 1,
          info.srWindow.Bottom - info.srWindow.Top + 1};
  return true;
}

bool hostCursorPosition(ConsolePosition& position) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!bufferInfo(info)) return false;
  position = {info.dwCursorPosition.Y, info.dwCursorPosition.X};
  return true;
}

void hostSetCursorPosition(ConsolePosition position) {
  SetConsoleCursorPosition(consoleHandles.screen, toCoord(position));
}

void hostWriteRow(ConsolePosition position, const Cell* cells, int32_t count) {
  if (count <= 0) return;
  // Reused from call to call, so a drawn row costs no allocation.
  static std::vector<CHAR_INFO> row;
  row.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) row[static_cast<size_t>(i)] = toConsoleCell(cells[i]);
  SMALL_RECT region{static_cast<SHORT>(position.column), static_cast<SHORT>(position.row),
                    static_cast<SHORT>(position.column + count - 1),
                    static_cast<SHORT>(position.row)};
  WriteConsoleOutputW(consoleHandles.screen, row.data(), {static_cast<SHORT>(count), 1}, {0, 0},
                      &region);
}

void hostScrollRows(int32_t top, int32_t bottom, int32_t destination, Cell fill) {
  ConsoleSize size;
  if (!hostBufferSize(size)) return;
  const SMALL_RECT moved{0, static_cast<SHORT>(top), static_cast<SHORT>(size.width - 1),
                         static_cast<SHORT>(bottom)};
  const CHAR_INFO blank = toConsoleCell(fill);
  // No clip rectangle: the cells the move uncovers take the fill.
  ScrollConsoleScreenBufferW(consoleHandles.screen, &moved, nullptr,
                             {0, static_cast<SHORT>(destination)}, &blank);
}

void hostFillCharacters(ConsolePosition position, int32_t count, uint8_t character) {
  if (count <= 0) return;
  DWORD written = 0;
  FillConsoleOutputCharacterW(consoleHandles.screen, toConsoleCharacter(character),
                              static_cast<DWORD>(count), toCoord(position), &written);
}

void hostFillAttributes(ConsolePosition position, int32_t count, uint8_t attribute) {
  if (count <= 0) return;
  DWORD written = 0;
  FillConsoleOutputAttribute(consoleHandles.screen, attribute, static_cast<DWORD>(count),
                             toCoord(position), &written);
}

void hostSetDefaultAttribute(uint8_t attribute) {
  SetConsoleTextAttribute(consoleHandles.screen, attribute);
}

bool hostReadCell(ConsolePosition position, Cell& cell) {
  CHAR_INFO info{};
  SMALL_RECT region{static_cast<SHORT>(position.column), static_cast<SHORT>(position.row),
                    static_cast<SHORT>(position.column), static_cast<SHORT>(position.row)};
  if (!ReadConsoleOutputW(consoleHandles.screen, &info, {1, 1}, {0, 0}, &region)) return false;
  cell = fromConsoleCell(info);
  return true;
}

bool hostCursorInfo(int32_t& size, bool& visible) {
  // The screen's own cursor first; standard output's when that can't be read or has no size.
  return readCursorInfo(consoleHandles.screen, size, visible) ||
         readCursorInfo(consoleHandles.standardOutput, size, visible);
}

void hostSetCursorInfo(int32_t size, bool visible) {
  const CONSOLE_CURSOR_INFO info{static_cast<DWORD>(size), visible ? TRUE : FALSE};
  SetConsoleCursorInfo(consoleHandles.screen, &info);
}

void hostBeep() {
  MessageBeep(0);
}
