#pragma once
#include <string_view>

#include "console/cp437_literal.h"

// The pieces of the boxed menus that both menus draw, in code-page-437 bytes.
namespace menuBox {
inline constexpr std::string_view topLine =
    "╒════════════════════════════════════════════════════════════════════════════╕"_cp437;
inline constexpr std::string_view selectLine =
    "│                           Select the function:                             │"_cp437;
inline constexpr std::string_view headerLine =
    "├───┬───────────────────────────────┬┬───┬───────────────────────────────────┤"_cp437;
inline constexpr std::string_view separatorLine =
    "├───┼───────────────────────────────┤├───┼───────────────────────────────────┤"_cp437;
inline constexpr std::string_view bottomLine =
    "╘═══╧════════════════╤═══╤══════════╧╧═══╧══════════════════╤════════════════╛"_cp437;
// The last line, under the exit entry.
inline constexpr std::string_view exitFrameBottom =
    "                     ╘═══╧══════════════════════════════════╛"_cp437;
}  // namespace menuBox

// The line that names the program's information page; both menus show it.
inline constexpr std::string_view moreInfoLine =
    "For more info, read: http://www.harrowkeeps.net/backup.htm";
