#include "editor/field_editor.h"

#include "console/errors.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "editor/entry_number.h"
#include "editor/field_edit_keys.h"

int32_t fieldForeground = 0;
int32_t fieldBackground = 0;

void setFieldColors(int32_t foreground, int32_t background) {
  fieldForeground = foreground;
  fieldBackground = background;
}

namespace {

struct FieldPlace {
  int32_t row;
  int32_t column;
  int32_t width;
};

// Draws the empty field in the field colours, which stay current while it is edited. Returns
// the attribute the field's first cell had before, to be made current again at the end.
uint8_t openField(const FieldPlace& field) {
  const auto entryAttribute = static_cast<uint8_t>(cellAttribute(field.row, field.column));
  locate(field.row, field.column);
  setColor(fieldForeground, fieldBackground, field.width);
  printText(std::string(static_cast<size_t>(field.width > 0 ? field.width : 0), ' '));
  printNewline();
  locate(field.row, field.column);
  return entryAttribute;
}

void drawField(const FieldPlace& field, const FieldEditState& state, const std::string& text) {
  locate(field.row, field.column);
  printText(fieldWindowText(state, text, field.width));
  locate(field.row, field.column + state.windowColumn - 1);
}

// Records a newly entered text in the history's last element, which then gets an empty one
// after it. A text equal to the entry just before that slot is not stored twice.
void recordText(const std::string& text, StringList& history, int32_t& historyIndex) {
  historyIndex = lastListIndex(history);
  if (historyIndex > 0 && text == listElement(history, historyIndex - 1)) return;
  listElement(history, historyIndex) = text;
  ++historyIndex;
  history.resize(static_cast<size_t>(historyIndex) + 1);
}

int32_t runFieldEditor(std::string& text, const FieldPlace& field, StringList& history,
                       int32_t& historyIndex) {
  const uint8_t entryAttribute = openField(field);
  FieldEditState state;
  state.baselineText = text;

  int32_t keyCode = 0;
  std::string trimmed;
  for (;;) {
    drawField(field, state, text);
    if (!fieldKeyCode(waitKey(), keyCode)) continue;
    if (!endsFieldEdit(keyCode)) {
      applyFieldKey(state, text, field.width, history, historyIndex, keyCode);
      continue;
    }
    trimmed = trimSpaces(text);
    const int32_t element = recalledElement(trimmed, lastListIndex(history));
    if (element < 0) break;
    historyIndex = element;
    loadHistoryElement(state, text, history, element);
  }

  setColor(entryAttribute % 16, entryAttribute / 16, 0);
  setCursor(1);
  if (keyCode != fieldKey::escape && !trimmed.empty() && text != state.baselineText) {
    recordText(text, history, historyIndex);
  }
  return keyCode;
}

}  // namespace

std::string trimSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

int32_t editField(std::string& text, int32_t row, int32_t column, int32_t width,
                  StringList& history, int32_t& historyIndex) {
  // Abandoned only when memory runs out; the caller then re-opens the field as after Esc.
  int32_t result = fieldKey::escape;
  runWithoutHandler([&] {
    result = runFieldEditor(text, FieldPlace{row, column, width}, history, historyIndex);
  });
  return result;
}
