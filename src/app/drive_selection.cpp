#include "app/drive_selection.h"

#include "app/input_frame.h"
#include "app/input_screen_state.h"
#include "app/program_state.h"
#include "app/screen_lines.h"
#include "console/errors.h"
#include "console/keyboard.h"
#include "console/screen.h"

namespace {

constexpr int32_t defaultSourceSlot = 0;
constexpr int32_t defaultTargetSlot = 7;

void fillDriveLetters() {
  dimensionList(choiceList, 9);
  constexpr const char* letters[] = {"C", "D", "E", "F", "G", "H", "I", "J"};
  for (int32_t slot = 0; slot < 8; ++slot) listElement(choiceList, slot) = letters[slot];
  choiceIndex = 0;
}

// A line that ends in the text of a list slot.
void printLineWithSlot(int32_t row, std::string_view text, int32_t slot) {
  locate(row, 5);
  printText(text);
  printText(listElement(choiceList, slot));
  printNewline();
}

void selectDrives() {
  flushKeys();
  fillDriveLetters();
  clearScreen();
  printLineAt(4, 5, "     * Setting the Drives: From Source to Target *");
  printLineAt(6, 5, "You need to select first the DRIVES for the backup:");
  printLineWithSlot(8, "1) The SOURCE drive; default: ", defaultSourceSlot);
  printLineWithSlot(9, "2) The DESTINATION drive; default: ", defaultTargetSlot);
  printLineAt(11, 5, "Type only the drive letter (e.g. C); the program automatically");
  printLineAt(12, 5, "adds the : and \\ characters (e.g. C:\\).");

  drawFieldFrame(17);
  printLineAt(18, 15, " Enter the Letter of SOURCE Drive: ");
  fieldText = listElement(choiceList, defaultSourceSlot);
  editFieldTextUntilEnter(18, 51, 19, choiceList, choiceIndex);
  sourceRoot = fieldText + ":\\";

  drawFieldFrame(21);
  printLineAt(22, 15, " Enter the Letter of TARGET Drive: ");
  fieldText = listElement(choiceList, defaultTargetSlot);
  editFieldTextUntilEnter(22, 51, 19, choiceList, choiceIndex);
  targetRoot = fieldText + ":\\";

  setColor(14, 3, 0);
}

}  // namespace

void driveSelectionScreen() {
  runWithoutHandler(selectDrives);
}
