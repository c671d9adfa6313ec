#include "app/input_frame.h"

#include "console/screen.h"

namespace {

constexpr char topLeft = static_cast<char>(201);
constexpr char horizontal = static_cast<char>(205);
constexpr char topRight = static_cast<char>(187);
constexpr char bottomLeft = static_cast<char>(200);
constexpr char bottomRight = static_cast<char>(188);

constexpr int32_t fieldFrameColumn = 14;
constexpr int32_t fieldFrameInner = 56;

}  // namespace

const char doubleFrameSide = static_cast<char>(186);

std::string doubleFrameTop(int32_t inner) {
  return topLeft + std::string(static_cast<size_t>(inner), horizontal) + topRight;
}

std::string doubleFrameBottom(int32_t inner) {
  return bottomLeft + std::string(static_cast<size_t>(inner), horizontal) + bottomRight;
}

void drawFieldFrame(int32_t topRow) {
  const std::string side(1, doubleFrameSide);
  locate(topRow, fieldFrameColumn);
  printText(doubleFrameTop(fieldFrameInner));
  locate(topRow + 1, fieldFrameColumn);
  printText(side);
  locate(topRow + 1, fieldFrameColumn + fieldFrameInner + 1);
  printText(side);
  locate(topRow + 2, fieldFrameColumn);
  printText(doubleFrameBottom(fieldFrameInner));
}
