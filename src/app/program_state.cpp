#include "app/program_state.h"

#include "app/input_screen_state.h"
#include "console/program.h"
#include "editor/field_editor.h"

std::string sourceRoot;
std::string targetRoot;
std::string mainMenuKey;
std::string menu2Key;
std::string commandLine;
int32_t lastError = 0;

void resetProgramState() {
  sourceRoot = std::string();
  targetRoot = std::string();
  mainMenuKey = std::string();
  menu2Key = std::string();
  commandLine = std::string();
  lastError = 0;
  fieldForeground = 0;
  fieldBackground = 0;
  resetInputScreenState();
}
