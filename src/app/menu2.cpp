#include "app/menu2.h"

#include "app/backup_jobs.h"
#include "app/error_screen.h"
#include "app/generalized_backup.h"
#include "app/menu_box.h"
#include "app/menu_key.h"
#include "app/program_state.h"
#include "app/screen_lines.h"
#include "console/cp437_literal.h"
#include "console/errors.h"
#include "console/screen.h"

namespace {

using namespace menuBox;

constexpr ScreenLine menu2Lines[] = {
    {1, 38, "II"},
    {3, 10, "This is Menu II of the best backup program based on XCOPY."},
    {6, 15, moreInfoLine},
    {10, 2, topLine},
    {11, 2, selectLine},
    {12, 2, headerLine},
    {13, 2,
     "│ 5 │ Update C:\\Lotto5 to J:\\Lotto5 ││ 3 │ Update C:\\Pick3 to J:\\Pick3       │"_cp437},
    {14, 2, separatorLine},
    {15, 2,
     "│ 6 │ Update C:\\Lotto6 to J:\\Lotto6 ││ 4 │ Update C:\\Pick4 to J:\\Pick4       │"_cp437},
    {16, 2, separatorLine},
    {17, 2,
     "│ P │ Update C:\\PBall to J:\\PBall   ││ Q │ Update C:\\Quinto5 Files to J:     │"_cp437},
    {18, 2, separatorLine},
    {19, 2,
     "│ R │ Update C:\\Roulette to J:\\     ││ H │ Update C:\\Horses to J:\\Horses     │"_cp437},
    {20, 2, separatorLine},
    {21, 2,
     "│ S │ Update C:\\Sports Files to J:  ││ G │ Generalized Backup - User-input   │"_cp437},
    {22, 2, bottomLine},
    {23, 2, "                     │ X │ Return to Main Menu              │"_cp437},
    {24, 2, exitFrameBottom},
};

// Runs the chosen entry; false when the user goes back to the main menu.
bool dispatchMenu2Key() {
  if (menu2Key == "G") {
    generalizedBackupScreen();
    return true;
  }
  if (const BackupJob* job = findJob(menu2Jobs(), menu2Key)) {
    runJob(*job);
    return true;
  }
  if (menu2Key == "X") {
    setCursor(-1);
    return false;
  }
  beep();
  return true;
}

// One pass from the top of Menu II: every redraw starts here.
bool menu2Pass() {
  armErrorHandler(errorScreen);
  drawMenuAndTakeKey(menu2Lines, 11, menu2Key);
  return dispatchMenu2Key();
}

}  // namespace

void menu2() {
  runWithErrorHandler(menu2Pass);
}
