#pragma once
#include <cstdint>
#include <string>

#include "console/string_list.h"

// The one-line input field: draws a field of `width` cells at (`row`, `column`) in the field
// colours, edits `text` in place with the editing keys, scrolls it sideways when it is longer
// than the field, offers `history` through Up and Down and through a backslash followed by an
// entry number, and returns the code of the key that ended it: 13 (Enter), 9 (Tab) or 27 (Esc).
// Enter and Tab record a new text at the end of `history`; `historyIndex` is the element Up and
// Down move from, which the caller keeps between calls. `history` must have an element and
// `historyIndex` must lie in it.
int32_t editField(std::string& text, int32_t row, int32_t column, int32_t width,
                  StringList& history, int32_t& historyIndex);

// The colours of the fields, stored as given: setColor applies its own range rule when a field
// is drawn. The main menu's start-up sets them once; only editField reads them.
extern int32_t fieldForeground;
extern int32_t fieldBackground;
void setFieldColors(int32_t foreground, int32_t background);

// The text without its leading and trailing spaces (code 32 only).
std::string trimSpaces(const std::string& text);
