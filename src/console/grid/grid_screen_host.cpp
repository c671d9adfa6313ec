// The screen operations served from `screenGrid`, for hosts that keep the console in memory.

#include <algorithm>
#include <cstddef>

#include "console/grid/cell_grid.h"
#include "console/screen_host.h"

namespace {

bool inside(const CellGrid& g, ConsolePosition p) {
  return p.row >= 0 && p.row < g.height && p.column >= 0 && p.column < g.width;
}

// Cells from `p` to the end of the buffer, as a flat range.
template <typename Apply>
void forRunOfCells(CellGrid& g, ConsolePosition p, int32_t count, Apply apply) {
  if (count <= 0 || !inside(g, p)) return;
  const size_t start =
      static_cast<size_t>(p.row) * static_cast<size_t>(g.width) + static_cast<size_t>(p.column);
  const size_t end = std::min(g.cells.size(), start + static_cast<size_t>(count));
  g.changed = true;
  for (size_t i = start; i < end; ++i) apply(g.cells[i]);
}

}  // namespace

bool hostBufferSize(ConsoleSize& size) {
  size = {screenGrid.width, screenGrid.height};
  return true;
}

bool hostWindowSize(ConsoleSize& size) {
  size = {screenGrid.windowWidth, screenGrid.windowHeight};
  return true;
}

bool hostCursorPosition(ConsolePosition& position) {
  position = {screenGrid.cursorRow, screenGrid.cursorColumn};
  return true;
}

void hostSetCursorPosition(ConsolePosition position) {
  if (!inside(screenGrid, position)) return;
  screenGrid.cursorRow = position.row;
  screenGrid.cursorColumn = position.column;
  screenGrid.changed = true;
}

void hostWriteRow(ConsolePosition position, const Cell* cells, int32_t count) {
  if (!inside(screenGrid, position)) return;
  const int32_t fits = std::min(count, screenGrid.width - position.column);
  screenGrid.changed = true;
  for (int32_t i = 0; i < fits; ++i)
    cellAt(screenGrid, position.row, position.column + i) = cells[i];
}

void hostScrollRows(int32_t top, int32_t bottom, int32_t destination, Cell fill) {
  CellGrid& g = screenGrid;
  top = std::max(top, 0);
  bottom = std::min(bottom, g.height - 1);
  if (top > bottom) {
    return;
  }
  const int32_t rows = bottom - top + 1;
  g.changed = true;
  std::vector<Cell> moved(g.cells.begin() + static_cast<std::ptrdiff_t>(top) * g.width,
                          g.cells.begin() + static_cast<std::ptrdiff_t>(bottom + 1) * g.width);
  // The source rows are cleared first, then the moved block lands where it fits.
  for (int32_t r = top; r <= bottom; ++r) {
    for (int32_t c = 0; c < g.width; ++c) cellAt(g, r, c) = fill;
  }
  for (int32_t r = 0; r < rows; ++r) {
    const int32_t to = destination + r;
    if (to < 0 || to >= g.height) continue;
    std::copy_n(moved.begin() + static_cast<std::ptrdiff_t>(r) * g.width, g.width,
                g.cells.begin() + static_cast<std::ptrdiff_t>(to) * g.width);
  }
}

void hostFillCharacters(ConsolePosition position, int32_t count, uint8_t character) {
  forRunOfCells(screenGrid, position, count, [&](Cell& c) { c.character = character; });
}

void hostFillAttributes(ConsolePosition position, int32_t count, uint8_t attribute) {
  forRunOfCells(screenGrid, position, count, [&](Cell& c) { c.attribute = attribute; });
}

void hostSetDefaultAttribute(uint8_t attribute) {
  screenGrid.defaultAttribute = attribute;
}

bool hostReadCell(ConsolePosition position, Cell& cell) {
  if (!inside(screenGrid, position)) return false;
  cell = cellAt(screenGrid, position.row, position.column);
  return true;
}

bool hostCursorInfo(int32_t& size, bool& visible) {
  size = screenGrid.cursorSize;
  visible = screenGrid.cursorVisible;
  return true;
}

void hostSetCursorInfo(int32_t size, bool visible) {
  if (size >= 1 && size <= 100) screenGrid.cursorSize = size;
  screenGrid.cursorVisible = visible;
  screenGrid.changed = true;
}
