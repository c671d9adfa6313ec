#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "app/screen_lines.h"

// A menu key upper-cased byte by byte: a-z, and the code-page-437 letters ä ö ü é ñ å ç.
std::string upperCaseKey(std::string key);

// The menus' wait: polls keyAvailable until a key is waiting.
void waitForMenuKey();

// What both menus do from their top to their dispatch: yellow on cyan, keys typed ahead discarded,
// the screen cleared and `lines` drawn; then the waiting key upper-cased into `key`, echoed at
// `echoRow`, column 51, and the screen cleared again.
void drawMenuAndTakeKey(std::span<const ScreenLine> lines, int32_t echoRow, std::string& key);
