// libFuzzer target: any output of a child process through the processed-output writer, into
// grids of many sizes. The promises: nothing crashes; the cursor stays on a cell of the grid
// and the grid keeps its cells; and how the output is cut into writes changes nothing, since
// a child's writes end wherever it flushes.
//
// The first two input bytes choose the grid's width (1 to 100) and height (1 to 30), the third
// a way of cutting the rest into writes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "console/grid/cell_grid.h"
#include "console/grid/processed_output.h"

namespace {

void require(bool promise) {
  if (!promise) __builtin_trap();
}

void requireInside(const CellGrid& grid, int32_t width, int32_t height) {
  require(grid.width == width && grid.height == height);
  require(grid.cells.size() == static_cast<size_t>(width) * static_cast<size_t>(height));
  require(grid.cursorRow >= 0 && grid.cursorRow < height);
  require(grid.cursorColumn >= 0 && grid.cursorColumn < width);
}

struct Written {
  CellGrid grid;
  int bells = 0;
};

Written write(std::string_view output, int32_t width, int32_t height, uint8_t seed) {
  Written w;
  resizeGrid(w.grid, width, height);
  w.grid.defaultAttribute = 0x3E;  // yellow on cyan, as the menus leave it
  ProcessedOutput state;
  uint32_t random = seed * 2654435761u + 1;
  while (!output.empty()) {
    random = random * 1103515245u + 12345u;
    const size_t size = seed == 0 ? output.size() : 1 + (random >> 16) % 64;
    writeProcessedOutput(w.grid, state, output.substr(0, size));
    output.remove_prefix(std::min(size, output.size()));
    requireInside(w.grid, width, height);
  }
  w.bells = state.bells;
  return w;
}

bool sameScreen(const CellGrid& a, const CellGrid& b) {
  return a.cells == b.cells && a.cursorRow == b.cursorRow && a.cursorColumn == b.cursorColumn;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int32_t width = 1 + data[0] % 100;
  const int32_t height = 1 + data[1] % 30;
  const std::string_view output(reinterpret_cast<const char*>(data + 3), size - 3);
  const Written whole = write(output, width, height, 0);
  const Written cut = write(output, width, height, data[2] == 0 ? 1 : data[2]);
  require(sameScreen(whole.grid, cut.grid));
  require(whole.bells == cut.bells);
  return 0;
}
