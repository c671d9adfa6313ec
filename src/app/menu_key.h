#pragma once
#include <string>

// A menu key upper-cased byte by byte: a-z, and the code-page-437 letters ä ö ü é ñ å ç.
std::string upperCaseKey(std::string key);

// The menus' wait: polls keyAvailable until a key is waiting.
void waitForMenuKey();
