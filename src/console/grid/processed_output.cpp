#include "console/grid/processed_output.h"

#include <algorithm>
#include <cstddef>

#include "console/cp437.h"

namespace {

using Escape = ProcessedOutput::Escape;

constexpr uint8_t unknownCharacter = '?';
constexpr int32_t tabWidth = 8;

void newRow(CellGrid& grid) {
  grid.cursorColumn = 0;
  if (grid.cursorRow < grid.height - 1) {
    ++grid.cursorRow;
    return;
  }
  const auto width = static_cast<std::ptrdiff_t>(grid.width);
  std::move(grid.cells.begin() + width, grid.cells.end(), grid.cells.begin());
  std::fill(grid.cells.end() - width, grid.cells.end(), Cell{' ', grid.defaultAttribute});
}

void putByte(CellGrid& grid, uint8_t byte) {
  cellAt(grid, grid.cursorRow, grid.cursorColumn) = Cell{byte, grid.defaultAttribute};
  if (++grid.cursorColumn >= grid.width) newRow(grid);
}

void putCodePoint(CellGrid& grid, char32_t codePoint) {
  if (codePoint >= 0x80 && codePoint <= 0x9F) return;  // C1 controls
  const int byte = unicodeToCp437(codePoint);
  putByte(grid, byte < 0 ? unknownCharacter : static_cast<uint8_t>(byte));
}

// Decodes what has gathered of a multi-byte character; keeps an unfinished sequence.
void decodePartial(CellGrid& grid, std::string& partial) {
  while (!partial.empty()) {
    char32_t codePoint = 0;
    const size_t used = decodeUtf8(partial, codePoint);
    if (used == 0) return;
    putCodePoint(grid, codePoint);
    partial.erase(0, used);
  }
}

bool cancelsSequence(uint8_t byte) {
  return byte == 0x18 || byte == 0x1A;  // CAN, SUB
}

// One byte inside an escape sequence: sequences are read to their end and dropped whole.
void escapeByte(ProcessedOutput& state, uint8_t byte) {
  if (byte == 0x1B && state.escape != Escape::string) {
    state.escape = Escape::start;
    return;
  }
  if (cancelsSequence(byte)) {
    state.escape = Escape::none;
    return;
  }
  switch (state.escape) {
    case Escape::stringEnd:
      if (byte == '\\') {
        state.escape = Escape::none;
        return;
      }
      state.escape = Escape::start;  // ESC and something else: a sequence of its own
      [[fallthrough]];
    case Escape::start:
      if (byte == '[') {
        state.escape = Escape::control;
      } else if (byte == ']' || byte == 'P' || byte == 'X' || byte == '^' || byte == '_') {
        state.escape = Escape::string;
      } else if (byte >= 0x20 && byte <= 0x2F) {
        state.escape = Escape::intermediate;
      } else {
        state.escape = Escape::none;
      }
      return;
    case Escape::intermediate:
      if (byte < 0x20 || byte > 0x2F) state.escape = Escape::none;
      return;
    case Escape::control:
      if (byte >= 0x40 && byte <= 0x7E) state.escape = Escape::none;
      return;
    case Escape::string:
      if (byte == 0x07) state.escape = Escape::none;
      if (byte == 0x1B) state.escape = Escape::stringEnd;
      return;
    case Escape::none:
      return;
  }
}

void controlOrAscii(CellGrid& grid, ProcessedOutput& state, uint8_t byte) {
  switch (byte) {
    case 0x1B:
      state.escape = Escape::start;
      return;
    case '\r':
      grid.cursorColumn = 0;
      return;
    case '\n':
      newRow(grid);
      return;
    case '\b':
      if (grid.cursorColumn > 0) --grid.cursorColumn;
      return;
    case '\t': {
      const int32_t spaces =
          std::min(tabWidth - grid.cursorColumn % tabWidth, grid.width - grid.cursorColumn);
      for (int32_t i = 0; i < spaces; ++i) putByte(grid, ' ');
      return;
    }
    case '\a':
      ++state.bells;
      return;
    default:
      if (byte >= 0x20 && byte < 0x7F) putByte(grid, byte);
      return;
  }
}

}  // namespace

void writeProcessedOutput(CellGrid& grid, ProcessedOutput& state, std::string_view bytes) {
  if (grid.width <= 0 || grid.height <= 0) return;
  grid.changed = true;
  grid.cursorRow = std::clamp(grid.cursorRow, 0, grid.height - 1);
  grid.cursorColumn = std::clamp(grid.cursorColumn, 0, grid.width - 1);
  for (char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    if (state.escape != Escape::none) {
      escapeByte(state, byte);
      continue;
    }
    if (!state.partialCharacter.empty()) {
      if ((byte & 0xC0) == 0x80) {
        state.partialCharacter += c;
        decodePartial(grid, state.partialCharacter);
        continue;
      }
      // The character was cut short by what follows.
      state.partialCharacter.clear();
      putByte(grid, unknownCharacter);
    }
    if (byte >= 0x80) {
      state.partialCharacter += c;
      decodePartial(grid, state.partialCharacter);
      continue;
    }
    controlOrAscii(grid, state, byte);
  }
}
