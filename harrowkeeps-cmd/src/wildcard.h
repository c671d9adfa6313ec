// File masks with '*' and '?', matched as Windows matches them: case does not
// matter (for every letter, as names are found), "*.*" takes every name (with
// or without a dot), "*." takes names without one. '?' stands for one
// character, however many bytes it takes in UTF-8.
#pragma once

#include <string>
#include <string_view>

bool matchesMask(std::string_view mask, std::string_view name);

// A target mask names the copy: "*.bas" turns "Prog.BAS" into "Prog.bas".
std::string applyRenameMask(std::string_view mask, std::string_view name);
