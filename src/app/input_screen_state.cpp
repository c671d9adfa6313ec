#include "app/input_screen_state.h"

#include "editor/field_editor.h"

StringList choiceList;
int32_t choiceIndex = 0;
StringList targetChoiceList;
int32_t targetChoiceIndex = 0;
std::string fieldText;
int32_t fieldExitKey = 0;
std::string againAnswer;

void resetInputScreenState() {
  StringList().swap(choiceList);
  choiceIndex = 0;
  StringList().swap(targetChoiceList);
  targetChoiceIndex = 0;
  fieldText = std::string();
  fieldExitKey = 0;
  againAnswer = std::string();
}

void editFieldTextUntilEnter(int32_t row, int32_t column, int32_t width, StringList& history,
                             int32_t& historyIndex) {
  do {
    fieldExitKey = editField(fieldText, row, column, width, history, historyIndex);
  } while (fieldExitKey != 13);
}
