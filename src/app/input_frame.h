#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "console/cp437_literal.h"

// The double-line frames of the input screens, in code-page-437 bytes, as constants.
namespace doubleFrame {

template <size_t Inner>
constexpr std::array<char, Inner + 2> line(std::string_view left, std::string_view right) {
  std::array<char, Inner + 2> bytes{};
  bytes.fill("═"_cp437[0]);
  bytes.front() = left[0];
  bytes.back() = right[0];
  return bytes;
}

template <size_t Inner>
inline constexpr auto topBytes = line<Inner>("╔"_cp437, "╗"_cp437);
template <size_t Inner>
inline constexpr auto bottomBytes = line<Inner>("╚"_cp437, "╝"_cp437);

// ╔, `Inner` times ═, ╗; and ╚ ═ ╝ below.
template <size_t Inner>
inline constexpr std::string_view top{topBytes<Inner>.data(), Inner + 2};
template <size_t Inner>
inline constexpr std::string_view bottom{bottomBytes<Inner>.data(), Inner + 2};
inline constexpr std::string_view side = "║"_cp437;

}  // namespace doubleFrame

// The frame around an input field: rows `topRow` to `topRow` + 2, columns 14 to 71, drawn in
// the current colours without newlines.
void drawFieldFrame(int32_t topRow);
