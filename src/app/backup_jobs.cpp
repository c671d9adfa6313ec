#include "app/backup_jobs.h"

#include <new>

#include "app/program_state.h"
#include "console/errors.h"
#include "console/keyboard.h"
#include "console/process.h"
#include "console/screen.h"

namespace {

constexpr BackupJob underRoots(std::string_view key, std::string_view source,
                               std::string_view target, bool quoted) {
  return BackupJob{key, false, source, target, quoted};
}

constexpr BackupJob sameFolder(std::string_view key, std::string_view folder) {
  return BackupJob{key, false, folder, folder, false};
}

constexpr BackupJob mainMenuTable[] = {
    underRoots("G", "BAS\\*.bas", "BaBa\\*.bas", false),
    underRoots("B", "BAS\\*.bas", "BAS\\*.bas", false),
    underRoots("W", "My Web Pages\\*.*", "My Web Pages\\*.*", true),
    underRoots("D", "My Documents", "My Documents", true),
    underRoots("Z", "MyZIPs", "MyZIPs", false),
    BackupJob{"L", true, "D:\\Lottery", "Lottery", false},
    underRoots("F", "Users\\Avo Brenk\\Favorites", "Avo Brenk\\Favorites", true),
    underRoots("O", "Users\\Avo Brenk\\Downloads", "Avo Brenk\\Downloads", true),
    underRoots("M", "Users\\Avo Brenk\\Music", "Avo Brenk\\Music", true),
    underRoots("P", "Users\\Avo Brenk\\Pictures", "Avo Brenk\\Pictures", true),
    underRoots("V", "Users\\Avo Brenk\\Videos", "Avo Brenk\\Videos", true),
    underRoots("R", "Program Downloads", "Program Downloads", true),
};

constexpr BackupJob menu2Table[] = {
    sameFolder("H", "Horses"),  sameFolder("5", "Lotto5"),   sameFolder("6", "Lotto6"),
    sameFolder("P", "PBall"),   sameFolder("R", "Roulette"), sameFolder("S", "Sports"),
    sameFolder("Q", "Quinto5"), sameFolder("3", "Pick3"),    sameFolder("4", "Pick4"),
};

}  // namespace

std::span<const BackupJob> mainMenuJobs() {
  return mainMenuTable;
}

std::span<const BackupJob> menu2Jobs() {
  return menu2Table;
}

const BackupJob* findJob(std::span<const BackupJob> jobs, std::string_view key) {
  for (const BackupJob& job : jobs) {
    if (job.key == key) return &job;
  }
  return nullptr;
}

std::string jobCommandLine(const BackupJob& job) {
  const std::string_view quote = job.quoted ? "\"" : "";
  std::string line = "XCOPY ";
  line += quote;
  if (!job.sourceFixed) line += sourceRoot;
  line += job.source;
  line += quote;
  line += ' ';
  line += quote;
  line += targetRoot;
  line += job.target;
  line += quote;
  line += " /S /D /I /Y";
  return line;
}

std::string interpreterCommandText(const std::string& interpreter, const std::string& line) {
  try {
    return interpreter + " /C" + line;
  } catch (const std::bad_alloc&) {
    raiseError(7);
    return std::string();
  }
}

void runJob(const BackupJob& job) {
  commandLine = jobCommandLine(job);
  runCommandLine();
}

void runCommandLine() {
  // One statement: when reading COMSPEC fails, the text is still built and the process still
  // created, and the handler sees the last failure.
  runShellCommand(interpreterCommandText(getEnv("COMSPEC"), commandLine), 1, true, false);
  checkPendingError();
  printText("Press a key to continue ...");
  printNewline();
  waitKey();
}
