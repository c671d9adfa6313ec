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
// The field colours belong to the field editor (editor/field_editor.h).
