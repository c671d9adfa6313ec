#include "app/program_state.h"

#include "app/input_screen_state.h"
#include "console/program.h"

std::string sourceRoot;
std::string targetRoot;
std::string mainMenuKey;
std::string menu2Key;
std::string commandLine;
int32_t lastError = 0;
int32_t fieldForeground = 0;
int32_t fieldBackground = 0;

void setFieldColors(int32_t foreground, int32_t background) {
  fieldForeground = foreground;
  fieldBackground = background;
}

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
