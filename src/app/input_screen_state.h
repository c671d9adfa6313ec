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
