#include "app/main_menu.h"

#include <vector>

#include "app/backup_jobs.h"
#include "app/drive_selection.h"
#include "app/error_screen.h"
#include "app/menu2.h"
#include "app/menu_box.h"
#include "app/menu_key.h"
#include "app/program_state.h"
#include "app/program_version.h"
#include "app/screen_lines.h"
#include "console/cp437.h"
#include "console/errors.h"
#include "console/keyboard.h"
#include "console/program.h"
#include "console/screen.h"

namespace {

const std::vector<ScreenLine>& mainMenuLines() {
  using namespace menuBox;
  static const std::vector<ScreenLine> lines = [] {
    auto cp437 = [](const char* utf8) { return utf8ToCp437(utf8); };
    return std::vector<ScreenLine>{
        {1, 5, "Copyright (C) 2012 Harrowkeeps. Freeware: use it and pass it on."},
        {2, 5,
         cp437("° Harrowkeeps.EXE ~ version " HARROWKEEPS_VERSION
               " ~ October 2012 - WWW.HARROWKEEPS.NET °")},
        {4, 5, "This fast program backs up folders/files by using the XCOPY command."},
        {5, 5, std::string("For more info, read: ") + informationPageAddress},
        {6, 2, topLine()},
        {7, 2, selectLine()},
        {8, 2, headerLine()},
        {9, 2,
         cp437("│ S │ Set Drives: Source, Target    ││ A │ Advance to Menu #2 ►              │")},
        {10, 2, separatorLine()},
        {11, 2,
         cp437(
             "│ B │ Update C:\\BAS Files to J:\\BAS ││ W │ Update C:\\Web-HTML Files to J:\\   │")},
        {12, 2, separatorLine()},
        {13, 2,
         cp437(
             "│ D │ Update C:\\DOC Files to J:     ││ L │ Update D:\\Lottery Files to J:\\    │")},
        {14, 2, separatorLine()},
        {15, 2,
         cp437(
             "│ Z │ Update C:\\MyZips to J:\\MyZips ││ F │ Update Avo\\Favorites to J:\\       │")},
        {16, 2, separatorLine()},
        {17, 2,
         cp437(
             "│ O │ Update Avo\\Downloads to J:\\   ││ R │ Update C:\\Program Downloads to J: │")},
        {18, 2, separatorLine()},
        {19, 2,
         cp437(
             "│ P │ Update Avo\\My Pictures to J:\\ ││ M │ Update Avo\\My Music to J:\\        │")},
        {20, 2, separatorLine()},
        {21, 2,
         cp437(
             "│ G │ Update C:\\BAS-Only to J:\\BaBa ││ V │ Update Avo\\My Videos to J:\\       │")},
        {22, 2, bottomLine()},
        {23, 2, cp437("                     │ X │      Exit to Command Prompt      │")},
        {24, 2, exitFrameBottom()},
    };
  }();
  return lines;
}

// Runs the chosen entry; false when the user leaves the program.
bool dispatchMainMenuKey() {
  if (mainMenuKey == "A") {
    step([] { menu2(); });
    return true;
  }
  if (mainMenuKey == "S") {
    step([] { driveSelectionScreen(); });
    return true;
  }
  if (const BackupJob* job = findJob(mainMenuJobs(), mainMenuKey)) {
    runJob(*job);
    return true;
  }
  if (mainMenuKey == "X") {
    step([] { clearScreen(); });
    step([] { setCursor(-1); });
    return false;
  }
  step([] { beep(); });
  return true;
}

// One pass from the top of the menu: every redraw starts here.
bool mainMenuPass() {
  step([] { armErrorHandler(errorScreen); });
  drawMenuAndTakeKey(mainMenuLines(), 7, mainMenuKey);
  return dispatchMainMenuKey();
}

}  // namespace

void mainMenu() {
  setFieldColors(1, 14);
  runWithErrorHandler(mainMenuPass);
}

void mainProcedure(void*, int32_t, const std::string&, int32_t) {
  mainMenu();
}
