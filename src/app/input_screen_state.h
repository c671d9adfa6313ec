#pragma once
#include <cstdint>
#include <string>

#include "console/string_list.h"

// The program-wide state of the two input screens (drive selection, generalized backup). The
// lists and their indices are re-created on every visit; nothing carries from one to the next.

extern StringList choiceList;  // history of the first field of either screen
extern int32_t choiceIndex;
extern StringList targetChoiceList;  // history of the generalized backup's target field
extern int32_t targetChoiceIndex;
extern std::string fieldText;    // the text being edited, shared by every field
extern int32_t fieldExitKey;     // what the last editField call returned
extern std::string againAnswer;  // the key answering "Run this function again (Y/N)?"

// Empty values, as at start-up; releases the lists.
void resetInputScreenState();

// Edits `fieldText` in the field at (`row`, `column`) until the user leaves it with Enter; any
// other ending key opens the field again on the text as left. `fieldExitKey` holds the last
// key. Each edit is a procedure of its own: its errors never reach the caller.
void editFieldTextUntilEnter(int32_t row, int32_t column, int32_t width, StringList& history,
                             int32_t& historyIndex);
