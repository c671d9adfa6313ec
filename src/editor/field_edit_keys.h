#pragma once
#include <cstdint>
#include <string>

#include "console/string_list.h"

// What the field editor keeps for one call, and what each key does to it and to the caller's
// text and history. Drawing and reading keys are the editor's own business (field_editor.h).

struct FieldEditState {
  int32_t cursorPos = 1;     // position in the text (from 1) the cursor stands at
  int32_t windowColumn = 1;  // cell of the field (from 1) the cursor stands in
  std::string baselineText;  // the text at entry or as last loaded: not recorded again
  bool overwriteMode = false;
};

// Key codes: a one-byte key string gives its character's code, a two-byte one the negative of
// its scan code.
namespace fieldKey {
constexpr int32_t enter = 13;
constexpr int32_t tab = 9;
constexpr int32_t escape = 27;
constexpr int32_t backspace = 8;
constexpr int32_t up = -72;
constexpr int32_t down = -80;
constexpr int32_t left = -75;
constexpr int32_t right = -77;
constexpr int32_t home = -71;
constexpr int32_t end = -79;
constexpr int32_t insert = -82;
constexpr int32_t del = -83;
}  // namespace fieldKey

// The key code of a key string, or nothing (false) for a string of another length.
bool fieldKeyCode(const std::string& key, int32_t& code);

bool endsFieldEdit(int32_t code);

// Acts on one key other than the three that end the editor; codes that mean nothing are
// ignored. Ins switches the cursor between thin and block.
void applyFieldKey(FieldEditState& state, std::string& text, int32_t width, StringList& history,
                   int32_t& historyIndex, int32_t code);

// Loads a history element as the text to edit, with the cursor at its start.
void loadHistoryElement(FieldEditState& state, std::string& text, StringList& history,
                        int32_t element);

// The field as it shows: the text from the first position in the window on, cut or filled with
// spaces to exactly `width` characters.
std::string fieldWindowText(const FieldEditState& state, const std::string& text, int32_t width);
