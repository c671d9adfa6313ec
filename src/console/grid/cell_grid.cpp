#include "console/grid/cell_grid.h"

#include <algorithm>
#include <cstddef>

CellGrid screenGrid;

Cell& cellAt(CellGrid& grid, int32_t row, int32_t column) {
  return grid.cells[static_cast<size_t>(row) * static_cast<size_t>(grid.width) +
                    static_cast<size_t>(column)];
}

const Cell& cellAt(const CellGrid& grid, int32_t row, int32_t column) {
  return grid.cells[static_cast<size_t>(row) * static_cast<size_t>(grid.width) +
                    static_cast<size_t>(column)];
}

namespace {

void resizeBuffer(CellGrid& grid, int32_t width, int32_t height) {
  if (width == grid.width && height == grid.height) return;
  std::vector<Cell> cells(static_cast<size_t>(width) * static_cast<size_t>(height),
                          Cell{' ', grid.defaultAttribute});
  for (int32_t r = 0; r < std::min(height, grid.height); ++r) {
    for (int32_t c = 0; c < std::min(width, grid.width); ++c) {
      cells[static_cast<size_t>(r) * static_cast<size_t>(width) + static_cast<size_t>(c)] =
          cellAt(grid, r, c);
    }
  }
  grid.cells = std::move(cells);
  grid.width = width;
  grid.height = height;
  grid.cursorRow = std::min(grid.cursorRow, height - 1);
  grid.cursorColumn = std::min(grid.cursorColumn, width - 1);
  grid.changed = true;
}

}  // namespace

void resizeGrid(CellGrid& grid, int32_t width, int32_t height) {
  resizeBuffer(grid, std::max(width, 1), std::max(height, 1));
  grid.windowWidth = grid.width;
  grid.windowHeight = grid.height;
  grid.windowLeft = 0;
  grid.windowTop = 0;
}

void fitWindow(CellGrid& grid, int32_t width, int32_t height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  const int32_t bufferHeight = std::max(height, minimumBufferHeight);
  const int32_t cutOff = grid.cursorRow - (bufferHeight - 1);
  if (cutOff > 0) {
    grid.cells.erase(grid.cells.begin(),
                     grid.cells.begin() + static_cast<std::ptrdiff_t>(cutOff) * grid.width);
    grid.height -= cutOff;
    grid.cursorRow -= cutOff;
    grid.changed = true;
  }
  resizeBuffer(grid, std::max(width, minimumBufferWidth), bufferHeight);
  if (width != grid.windowWidth || height != grid.windowHeight) grid.changed = true;
  grid.windowWidth = width;
  grid.windowHeight = height;
  followCursor(grid);
}

void followCursor(CellGrid& grid) {
  const int32_t left = std::clamp(grid.cursorColumn - grid.windowWidth + 1, 0,
                                  std::max(grid.width - grid.windowWidth, 0));
  const int32_t top = std::clamp(grid.cursorRow - grid.windowHeight + 1, 0,
                                 std::max(grid.height - grid.windowHeight, 0));
  if (left == grid.windowLeft && top == grid.windowTop) return;
  grid.windowLeft = left;
  grid.windowTop = top;
  grid.changed = true;
}
