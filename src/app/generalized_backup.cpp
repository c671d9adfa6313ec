#include "app/generalized_backup.h"

#include <string>

#include "app/backup_jobs.h"
#include "app/error_screen.h"
#include "app/input_frame.h"
#include "app/input_screen_state.h"
#include "app/program_state.h"
#include "app/screen_lines.h"
#include "console/errors.h"
#include "console/keyboard.h"
#include "console/screen.h"

namespace {

constexpr ScreenLine explanationLines[] = {
    {1, 2, "        * Generalized backup: User-input *"},
    {3, 2, "You can select the directory (folder) to backup."},
    {5, 2, "This function considers ALL files and sub-directories "},
    {6, 2, "to be copied / backed-up from Source to Destination."},
    {8, 2, "* If the directory does NOT exist on the Destination, one"},
    {9, 2, "will be created and all files from source will be copied."},
    {10, 2, "** If the directory exists on Destination, then only the"},
    {11, 2, "modified files will be copied (replaced or updated)."},
    {13, 2, "To avoid the 'Invalid number of parameters' error of XCOPY,"},
    {14, 2, "this function surrounds directory names by quotation marks,"},
    {15, 2, "in case the directory name contains blank spaces."},
};

void fillHistories() {
  dimensionList(choiceList, 4);
  listElement(choiceList, 0) = "C:\\MyDocuments";
  listElement(choiceList, 1) = "C:\\MyDownloads";
  listElement(choiceList, 2) = "C:\\My Web Pages";
  dimensionList(targetChoiceList, 4);
  listElement(targetChoiceList, 0) = "E:\\";
  listElement(targetChoiceList, 1) = "F:\\";
  listElement(targetChoiceList, 2) = "G:\\";
  choiceIndex = 0;
  targetChoiceIndex = 0;
}

// The target folder: the target field's text followed by the source path less its first three
// characters (its drive root), joined as typed.
std::string targetFolderFor(const std::string& sourceFolder, const std::string& target) {
  return sourceFolder.size() > 3 ? target + sourceFolder.substr(3) : target;
}

// The closing question in its black-on-white box.
void drawQuestionBox() {
  setColor(14, 3, 0);
  locate(21, 25);
  setColor(0, 15, 0);
  printText(doubleFrame::top<32>);
  printNewline();
  locate(22, 25);
  printText(doubleFrame::side);
  locate(22, 58);
  printText(doubleFrame::side);
  printNewline();
  locate(23, 25);
  printText(doubleFrame::bottom<32>);
  setColor(15, 0, 0);
  printLineAt(22, 26, " Run this function again (Y/N)? ");
  setColor(14, 3, 0);
}

// One pass from the top; false when the user leaves.
bool generalizedBackupPass() {
  commandLine = std::string();
  fillHistories();
  checkPendingError();
  armErrorHandler(errorScreen);
  clearScreen();
  printLines(explanationLines);

  drawFieldFrame(17);
  printLineAt(18, 15, " Enter directory name on Source: ");
  fieldText = listElement(choiceList, 0);
  checkPendingError();
  editFieldTextUntilEnter(18, 49, 21, choiceList, choiceIndex);
  const std::string sourceFolder = fieldText;

  drawFieldFrame(21);
  printLineAt(22, 15, " Enter Destination Drive Letter, :, \\ ");
  fieldText = listElement(targetChoiceList, 0);
  checkPendingError();
  editFieldTextUntilEnter(22, 54, 16, targetChoiceList, targetChoiceIndex);
  const std::string targetFolder = targetFolderFor(sourceFolder, fieldText);

  setColor(14, 3, 0);
  clearScreen();
  commandLine = "XCOPY \"" + sourceFolder + "\" \"" + targetFolder + "\" /S /D /I /Y";
  runCommandLine();

  drawQuestionBox();
  againAnswer = std::string();
  againAnswer = waitKey();
  return !(againAnswer == "n" || againAnswer == "N");
}

}  // namespace

void generalizedBackupScreen() {
  runWithErrorHandler(generalizedBackupPass);
}
