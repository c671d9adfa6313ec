#include "console/posix/terminal_renderer.h"

#include <algorithm>
#include <array>

#include "console/cp437.h"

namespace {

// Windows numbers its colours blue = 1, green = 2, red = 4; ANSI red = 1, green = 2, blue = 4.
constexpr std::array<int, 8> ansiColour = {0, 4, 2, 6, 1, 5, 3, 7};

// A gap of this many unchanged cells is cheaper to redraw than to jump over.
constexpr int32_t jumpCost = 6;

void appendNumber(std::string& out, int n) {
  out += std::to_string(n);
}

void moveTo(std::string& out, TerminalView& view, int32_t row, int32_t column) {
  if (view.cursorRow == row && view.cursorColumn == column) return;
  out += "\x1b[";
  appendNumber(out, row + 1);
  out += ';';
  appendNumber(out, column + 1);
  out += 'H';
  view.cursorRow = row;
  view.cursorColumn = column;
}

void selectAttribute(std::string& out, TerminalView& view, uint8_t attribute) {
  if (view.attribute == attribute) return;
  out += attributeSequence(attribute);
  view.attribute = attribute;
}

void drawCell(std::string& out, TerminalView& view, int32_t row, int32_t column, Cell cell) {
  moveTo(out, view, row, column);
  selectAttribute(out, view, cell.attribute);
  appendUtf8(out, cell.character == 0 ? U' ' : cp437ToUnicode(cell.character));
  view.cells[static_cast<size_t>(row) * static_cast<size_t>(view.width) +
             static_cast<size_t>(column)] = cell;
  if (column + 1 < view.width) {
    ++view.cursorColumn;
  } else {
    view.cursorRow = -1;  // the terminal now waits to wrap: its position is its own business
  }
}

// Thin cursors as an underline, thick ones as a block; both blink, as a console cursor does.
int cursorStyle(int32_t size) {
  return size >= 50 ? 1 : 3;
}

// The most frequent attribute, which a full redraw clears the screen with.
uint8_t commonAttribute(const CellGrid& grid) {
  std::array<int32_t, 256> counts{};
  for (const Cell& c : grid.cells) ++counts[c.attribute];
  return static_cast<uint8_t>(std::max_element(counts.begin(), counts.end()) - counts.begin());
}

}  // namespace

std::string attributeSequence(uint8_t attribute) {
  const int fg = attribute & 15;
  const int bg = attribute >> 4;
  std::string s = "\x1b[0;";
  appendNumber(s, (fg & 8 ? 90 : 30) + ansiColour[fg & 7]);
  s += ';';
  appendNumber(s, (bg & 8 ? 100 : 40) + ansiColour[bg & 7]);
  s += 'm';
  return s;
}

void renderFrame(const CellGrid& grid, TerminalView& view, bool beep, std::string& out) {
  const size_t start = out.size();
  if (!view.known || view.width != grid.width || view.height != grid.height) {
    // Clear in the commonest colours (terminals erase in the selected background), so only the
    // cells that differ from that need drawing.
    const uint8_t common = commonAttribute(grid);
    view.width = grid.width;
    view.height = grid.height;
    view.cells.assign(grid.cells.size(), Cell{' ', common});
    view.attribute = -1;
    selectAttribute(out, view, common);
    out += "\x1b[H\x1b[2J";
    view.cursorRow = 0;
    view.cursorColumn = 0;
    view.known = true;
  }

  bool cursorHidden = false;
  for (int32_t row = 0; row < grid.height; ++row) {
    const size_t base = static_cast<size_t>(row) * static_cast<size_t>(grid.width);
    int32_t column = 0;
    while (column < grid.width) {
      if (grid.cells[base + column] == view.cells[base + column]) {
        ++column;
        continue;
      }
      if (!cursorHidden && view.cursorVisible) {
        // Hidden while it jumps about, so it doesn't flicker over the screen.
        out += "\x1b[?25l";
        view.cursorVisible = false;
        cursorHidden = true;
      }
      // Draw this change and any further ones close enough that a jump would cost more.
      int32_t last = column;
      for (int32_t c = column + 1; c < grid.width && c - last <= jumpCost; ++c) {
        if (grid.cells[base + c] != view.cells[base + c]) last = c;
      }
      for (int32_t c = column; c <= last; ++c) drawCell(out, view, row, c, grid.cells[base + c]);
      column = last + 1;
    }
  }

  if (out.size() != start || view.cursorRow != grid.cursorRow ||
      view.cursorColumn != grid.cursorColumn) {
    moveTo(out, view, grid.cursorRow, grid.cursorColumn);
  }
  const int style = cursorStyle(grid.cursorSize);
  if (view.cursorShape != style) {
    out += "\x1b[";
    appendNumber(out, style);
    out += " q";
    view.cursorShape = style;
  }
  if (view.cursorVisible != grid.cursorVisible) {
    out += grid.cursorVisible ? "\x1b[?25h" : "\x1b[?25l";
    view.cursorVisible = grid.cursorVisible;
  }
  if (beep) out += '\a';
}
