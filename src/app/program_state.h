#pragma once
#include <cstdint>
#include <string>

// The program-wide state: created empty at start-up, never saved.

extern std::string sourceRoot;  // a drive letter and ":\", empty before the drives are chosen
extern std::string targetRoot;
extern std::string mainMenuKey;  // the key last read by the main menu, upper-cased
extern std::string menu2Key;     // the key last read by Menu II, upper-cased
extern std::string commandLine;  // the XCOPY command line last built
extern int32_t lastError;        // the number the last error screen showed
extern int32_t fieldForeground;  // colours of the field editor's fields
extern int32_t fieldBackground;

// Stored as given; setColor applies its own range rule when the field editor uses them.
void setFieldColors(int32_t foreground, int32_t background);
