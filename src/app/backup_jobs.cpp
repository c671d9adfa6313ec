#include "app/backup_jobs.h"

#include <new>

#include "app/program_state.h"
#include "console/errors.h"
#include "console/keyboard.h"
#include "console/process.h"
#include "console/screen.h"

namespace {

BackupJob underRoots(const char* key, const char* source, const char* target, bool quoted) {
  return BackupJob{key, false, source, target, quoted};
}

BackupJob sameFolder(const char* key, const char* folder) {
  return BackupJob{key, false, folder, folder, false};
}

}  // namespace

const std::vector<BackupJob>& mainMenuJobs() {
  static const std::vector<BackupJob> jobs = {
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
  return jobs;
}

const std::vector<BackupJob>& menu2Jobs() {
  static const std::vector<BackupJob> jobs = {
      sameFolder("H", "Horses"),  sameFolder("5", "Lotto5"),   sameFolder("6", "Lotto6"),
      sameFolder("P", "PBall"),   sameFolder("R", "Roulette"), sameFolder("S", "Sports"),
      sameFolder("Q", "Quinto5"), sameFolder("3", "Pick3"),    sameFolder("4", "Pick4"),
  };
  return jobs;
}

const BackupJob* findJob(const std::vector<BackupJob>& jobs, const std::string& key) {
  for (const BackupJob& job : jobs) {
    if (job.key == key) return &job;
  }
  return nullptr;
}

std::string jobCommandLine(const BackupJob& job) {
  const std::string quote = job.quoted ? "\"" : "";
  const std::string source = job.sourceFixed ? job.source : sourceRoot + job.source;
  const std::string target = targetRoot + job.target;
  return "XCOPY " + quote + source + quote + " " + quote + target + quote + " /S /D /I /Y";
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
  step([&] {
    try {
      commandLine = jobCommandLine(job);
    } catch (const std::bad_alloc&) {
      commandLine.clear();  // an assignment that fails leaves the variable empty
      throw;
    }
  });
  runCommandLine();
}

void runCommandLine() {
  // One statement: when reading COMSPEC fails, the text is still built and the process still
  // created, and the handler sees the last failure.
  step([] {
    runShellCommand(interpreterCommandText(getEnv("COMSPEC"), commandLine), 1, true, false);
  });
  step([] { printText("Press a key to continue ..."); });
  step([] { printNewline(); });
  step([] { waitKey(); });
}
