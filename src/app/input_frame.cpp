#include "app/input_frame.h"

#include "console/screen.h"

namespace {

constexpr int32_t fieldFrameColumn = 14;
constexpr size_t fieldFrameInner = 56;

}  // namespace

void drawFieldFrame(int32_t topRow) {
  locate(topRow, fieldFrameColumn);
  printText(doubleFrame::top<fieldFrameInner>);
  locate(topRow + 1, fieldFrameColumn);
  printText(doubleFrame::side);
  locate(topRow + 1, fieldFrameColumn + static_cast<int32_t>(fieldFrameInner) + 1);
  printText(doubleFrame::side);
  locate(topRow + 2, fieldFrameColumn);
  printText(doubleFrame::bottom<fieldFrameInner>);
}
