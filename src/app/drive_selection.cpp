#include "app/drive_selection.h"

#include <vector>

#include "app/input_frame.h"
#include "app/input_screen_state.h"
#include "app/program_state.h"
#include "app/screen_lines.h"
#include "console/errors.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "editor/field_editor.h"

namespace {

constexpr int32_t defaultSourceSlot = 0;
constexpr int32_t defaultTargetSlot = 7;

void fillDriveLetters() {
  dimensionList(choiceList, 9);
  const char* const letters[] = {"C", "D", "E", "F", "G", "H", "I", "J"};
  for (int32_t slot = 0; slot < 8; ++slot) listElement(choiceList, slot) = letters[slot];
  choiceIndex = 0;
}

// Edits `fieldText` in one field until the user leaves it with Enter.
void editDriveLetter(int32_t row) {
  do {
    fieldExitKey = editField(fieldText, row, 51, 19, choiceList, choiceIndex);
  } while (fieldExitKey != 13);
}

void selectDrives() {
  flushKeys();
  fillDriveLetters();
  clearScreen();
  printLines({
      {4, 5, "     * Setting the Drives: From Source to Target *"},
      {6, 5, "You need to select first the DRIVES for the backup:"},
      {8, 5, "1) The SOURCE drive; default: " + listElement(choiceList, defaultSourceSlot)},
      {9, 5, "2) The DESTINATION drive; default: " + listElement(choiceList, defaultTargetSlot)},
      {11, 5, "Type only the drive letter (e.g. C); the program automatically"},
      {12, 5, "adds the : and \\ characters (e.g. C:\\)."},
  });

  drawFieldFrame(17);
  printLineAt(18, 15, " Enter the Letter of SOURCE Drive: ");
  fieldText = listElement(choiceList, defaultSourceSlot);
  editDriveLetter(18);
  sourceRoot = fieldText + ":\\";

  drawFieldFrame(21);
  printLineAt(22, 15, " Enter the Letter of TARGET Drive: ");
  fieldText = listElement(choiceList, defaultTargetSlot);
  editDriveLetter(22);
  targetRoot = fieldText + ":\\";

  setColor(14, 3, 0);
}

}  // namespace

void driveSelectionScreen() {
  runWithoutHandler(selectDrives);
}
