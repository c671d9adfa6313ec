#include "app/error_screen.h"

#include "app/program_state.h"
#include "app/screen_lines.h"
#include "console/errors.h"
#include "console/keyboard.h"
#include "console/screen.h"

namespace {

constexpr ScreenLine subscriptPage[] = {
    {13, 5, "You probably attempted to use more data than "},
    {15, 5, "the maximum number of lines the file consists of."},
    {17, 5, "Or you might have modified a WS or report file."},
    {19, 25, "Press <Spacebar> to terminate the program..."},
};

constexpr ScreenLine fileNotFoundPage[] = {
    {13, 5, "The file name specified could not be found on the indicated drive."},
    {15, 5, "Type the file name accurately, including the path."},
    {17, 25, "Press <Spacebar> to resume..."},
};

constexpr ScreenLine deviceNotReadyPage[] = {
    {13, 5, "The door of a floppy disk drive is open,"},
    {15, 5, "or there is no disk in the indicated drive."},
    {17, 25, "Press <Spacebar> to resume..."},
};

constexpr ScreenLine pathNotFoundPage[] = {
    {13, 5, "The path you specified doesn't exist."},
    {15, 5, "Type the file name accurately, including the path."},
    {17, 5, "The path is not needed if the file is in current directory."},
    {19, 25, "Press <Spacebar> to resume..."},
};

constexpr ScreenLine unforeseenPageHead[] = {
    {10, 5, "Problem unforseen by the deeveloper!"},
    {12, 5, "It could be related to the file you specified;"},
    {14, 5, "the file could be corrupt or not in text format;"},
    {16, 5, "or you didn't type anything at all as file name."},
};

bool resumes(int32_t number) {
  return number == 53 || number == 71 || number == 76;
}

}  // namespace

void errorScreen() {
  clearScreen();
  lastError = errorNumber();
  const int32_t number = takeError();
  if (number == 9) {
    printLines(subscriptPage);
  } else if (number == 53) {
    printLines(fileNotFoundPage);
  } else if (number == 71) {
    printLines(deviceNotReadyPage);
  } else if (number == 76) {
    printLines(pathNotFoundPage);
  } else {
    printLines(unforeseenPageHead);
    locate(18, 15);
    printText("*** If you want to report the bug -> ERROR #");
    printNumber(lastError);
    printNewline();
    printLineAt(20, 25, "Press <Spacebar> to terminate the program...");
  }
  waitKey();
  if (resumes(number)) {
    resumeAfterError();
    return;
  }
  setCursor(-1);
  endProgram();
}
