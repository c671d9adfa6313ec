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

// The most frequent attribute in the window, which a full redraw clears the screen with.
uint8_t commonAttribute(const CellGrid& grid) {
  std::array<int32_t, 256> counts{};
  for (int32_t row = 0; row < grid.windowHeight; ++row) {
    for (int32_t column = 0; column < grid.windowWidth; ++column) {
      ++counts[cellAt(grid, grid.windowTop + row, grid.windowLeft + column).attribute];
    }
  }
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
  const int32_t width = grid.windowWidth;
  const int32_t height = grid.windowHeight;
  if (!view.known || view.width != width || view.height != height) {
    // Clear in the commonest colours (terminals erase in the selected background), so only the
    // cells that differ from that need drawing.
    const uint8_t common = commonAttribute(grid);
    view.width = width;
    view.height = height;
    view.cells.assign(static_cast<size_t>(width) * static_cast<size_t>(height), Cell{' ', common});
    view.attribute = -1;
    // Whoever had the terminal meanwhile (a stopped program's shell, a resize's terminal) may
    // have changed the cursor: its shape is asked for again, and it stays hidden until the
    // frame is drawn.
    view.cursorShape = -1;
    view.cursorVisible = false;
    out += "\x1b[?25l";
    selectAttribute(out, view, common);
    out += "\x1b[H\x1b[2J";
    view.cursorRow = 0;
    view.cursorColumn = 0;
    view.known = true;
  }

  // The window's cells, row by row, against what the terminal shows at the same places.
  auto shown = [&](int32_t row, int32_t column) {
    return cellAt(grid, grid.windowTop + row, grid.windowLeft + column);
  };
  bool cursorHidden = false;
  for (int32_t row = 0; row < height; ++row) {
    const size_t base = static_cast<size_t>(row) * static_cast<size_t>(width);
    int32_t column = 0;
    while (column < width) {
      if (shown(row, column) == view.cells[base + column]) {
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
      for (int32_t c = column + 1; c < width && c - last <= jumpCost; ++c) {
        if (shown(row, c) != view.cells[base + c]) last = c;
      }
      for (int32_t c = column; c <= last; ++c) drawCell(out, view, row, c, shown(row, c));
      column = last + 1;
    }
  }

  // A cursor outside the window is not shown; the window normally follows it.
  const int32_t cursorRow = grid.cursorRow - grid.windowTop;
  const int32_t cursorColumn = grid.cursorColumn - grid.windowLeft;
  const bool cursorInside =
      cursorRow >= 0 && cursorRow < height && cursorColumn >= 0 && cursorColumn < width;
  if (cursorInside &&
      (out.size() != start || view.cursorRow != cursorRow || view.cursorColumn != cursorColumn)) {
    moveTo(out, view, cursorRow, cursorColumn);
  }
  const int style = cursorStyle(grid.cursorSize);
  if (view.cursorShape != style) {
    out += "\x1b[";
    appendNumber(out, style);
    out += " q";
    view.cursorShape = style;
  }
  const bool visible = grid.cursorVisible && cursorInside;
  if (view.cursorVisible != visible) {
    out += visible ? "\x1b[?25h" : "\x1b[?25l";
    view.cursorVisible = visible;
  }
  if (beep) out += '\a';
}
