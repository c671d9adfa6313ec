#include "app/main_menu.h"

#include "app/backup_jobs.h"
#include "app/drive_selection.h"
#include "app/error_screen.h"
#include "app/menu2.h"
#include "app/menu_box.h"
#include "app/menu_key.h"
#include "app/program_state.h"
#include "app/program_version.h"
#include "app/screen_lines.h"
#include "console/cp437_literal.h"
#include "console/errors.h"
#include "console/program.h"
#include "console/screen.h"
#include "editor/field_editor.h"

namespace {

using namespace menuBox;

constexpr ScreenLine mainMenuLines[] = {
    {1, 5, "Copyright (C) 2012 Harrowkeeps. Freeware: use it and pass it on."},
    {2, 5,
     "° Harrowkeeps.EXE ~ version " HARROWKEEPS_VERSION
     " ~ October 2012 - WWW.HARROWKEEPS.NET °"_cp437},
    {4, 5, "This fast program backs up folders/files by using the XCOPY command."},
    {5, 5, moreInfoLine},
    {6, 2, topLine},
    {7, 2, selectLine},
    {8, 2, headerLine},
    {9, 2, "│ S │ Set Drives: Source, Target    ││ A │ Advance to Menu #2 ►              │"_cp437},
    {10, 2, separatorLine},
    {11, 2,
     "│ B │ Update C:\\BAS Files to J:\\BAS ││ W │ Update C:\\Web-HTML Files to J:\\   │"_cp437},
    {12, 2, separatorLine},
    {13, 2,
     "│ D │ Update C:\\DOC Files to J:     ││ L │ Update D:\\Lottery Files to J:\\    │"_cp437},
    {14, 2, separatorLine},
    {15, 2,
     "│ Z │ Update C:\\MyZips to J:\\MyZips ││ F │ Update Avo\\Favorites to J:\\       │"_cp437},
    {16, 2, separatorLine},
    {17, 2,
     "│ O │ Update Avo\\Downloads to J:\\   ││ R │ Update C:\\Program Downloads to J: │"_cp437},
    {18, 2, separatorLine},
    {19, 2,
     "│ P │ Update Avo\\My Pictures to J:\\ ││ M │ Update Avo\\My Music to J:\\        │"_cp437},
    {20, 2, separatorLine},
    {21, 2,
     "│ G │ Update C:\\BAS-Only to J:\\BaBa ││ V │ Update Avo\\My Videos to J:\\       │"_cp437},
    {22, 2, bottomLine},
    {23, 2, "                     │ X │      Exit to Command Prompt      │"_cp437},
    {24, 2, exitFrameBottom},
};

// Runs the chosen entry; false when the user leaves the program.
bool dispatchMainMenuKey() {
  if (mainMenuKey == "A") {
    menu2();
    return true;
  }
  if (mainMenuKey == "S") {
    driveSelectionScreen();
    return true;
  }
  if (const BackupJob* job = findJob(mainMenuJobs(), mainMenuKey)) {
    runJob(*job);
    return true;
  }
  if (mainMenuKey == "X") {
    clearScreen();
    setCursor(-1);
    return false;
  }
  beep();
  return true;
}

// One pass from the top of the menu: every redraw starts here.
bool mainMenuPass() {
  armErrorHandler(errorScreen);
  drawMenuAndTakeKey(mainMenuLines, 7, mainMenuKey);
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
