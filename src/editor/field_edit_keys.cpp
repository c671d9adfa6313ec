#include "editor/field_edit_keys.h"

#include <algorithm>

#include "console/screen.h"

namespace {

int32_t textLength(const std::string& text) {
  return static_cast<int32_t>(text.size());
}

// The text's index (from 0) of a position counted from 1.
size_t at(int32_t position) {
  return static_cast<size_t>(position - 1);
}

void moveLeft(FieldEditState& state) {
  if (state.cursorPos > 1) --state.cursorPos;
  if (state.windowColumn > 1) --state.windowColumn;
}

void stepRight(FieldEditState& state, int32_t width) {
  ++state.cursorPos;
  if (state.windowColumn < width) ++state.windowColumn;
}

void typeCharacter(FieldEditState& state, std::string& text, int32_t width, char c) {
  if (state.overwriteMode && state.cursorPos <= textLength(text)) {
    text[at(state.cursorPos)] = c;
  } else {
    text.insert(at(state.cursorPos), 1, c);
  }
  stepRight(state, width);
}

}  // namespace

bool fieldKeyCode(const std::string& key, int32_t& code) {
  if (key.size() == 1) {
    code = static_cast<unsigned char>(key[0]);
    return true;
  }
  if (key.size() == 2) {
    code = -static_cast<int32_t>(static_cast<unsigned char>(key[1]));
    return true;
  }
  return false;
}

bool endsFieldEdit(int32_t code) {
  return code == fieldKey::enter || code == fieldKey::tab || code == fieldKey::escape;
}

void loadHistoryElement(FieldEditState& state, std::string& text, StringList& history,
                        int32_t element) {
  text = listElement(history, element);
  state.baselineText = text;
  state.cursorPos = 1;
  state.windowColumn = 1;
}

void applyFieldKey(FieldEditState& state, std::string& text, int32_t width, StringList& history,
                   int32_t& historyIndex, int32_t code) {
  switch (code) {
    case fieldKey::up:
      if (historyIndex > 0) --historyIndex;
      loadHistoryElement(state, text, history, historyIndex);
      return;
    case fieldKey::down:
      if (historyIndex < lastListIndex(history)) {
        ++historyIndex;
        loadHistoryElement(state, text, history, historyIndex);
      }
      return;
    case fieldKey::insert:
      state.overwriteMode = !state.overwriteMode;
      setCursor(state.overwriteMode ? 100 : 1);
      return;
    case fieldKey::backspace:
      if (state.cursorPos > 1) {
        --state.cursorPos;
        text.erase(at(state.cursorPos), 1);
        if (state.windowColumn > 1) --state.windowColumn;
      }
      return;
    case fieldKey::left:
      moveLeft(state);
      return;
    case fieldKey::right:
      if (state.cursorPos <= textLength(text)) stepRight(state, width);
      return;
    case fieldKey::home:
      state.cursorPos = 1;
      state.windowColumn = 1;
      return;
    case fieldKey::end:
      state.cursorPos = textLength(text) + 1;
      state.windowColumn = std::min(state.cursorPos, width);
      return;
    case fieldKey::del:
      if (state.cursorPos <= textLength(text)) text.erase(at(state.cursorPos), 1);
      return;
    default:
      if (code >= 32 && code <= 255) typeCharacter(state, text, width, static_cast<char>(code));
      return;
  }
}

std::string fieldWindowText(const FieldEditState& state, const std::string& text, int32_t width) {
  const auto cells = static_cast<size_t>(std::max(width, 0));
  const size_t first = at(state.cursorPos - state.windowColumn + 1);
  std::string window = first < text.size() ? text.substr(first, cells) : std::string();
  window.resize(cells, ' ');
  return window;
}
