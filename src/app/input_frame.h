#pragma once
#include <cstdint>
#include <string>

// The double-line frames of the input screens, in code-page-437 bytes.

// ╔, `inner` times ═, ╗ (and the bottom line ╚ ═ ╝).
std::string doubleFrameTop(int32_t inner);
std::string doubleFrameBottom(int32_t inner);
extern const char doubleFrameSide;  // ║

// The frame around an input field: rows `topRow` to `topRow` + 2, columns 14 to 71, drawn in
// the current colours without newlines.
void drawFieldFrame(int32_t topRow);
