#pragma once
#include <string>
#include <vector>

// The fixed backup jobs: each copies one folder tree from the source drive to the target drive
// by an XCOPY command line run through the command interpreter.

struct BackupJob {
  std::string key;     // the one-character key that chooses it in its menu
  bool sourceFixed;    // the source is `source` as it stands, not under sourceRoot
  std::string source;  // under sourceRoot unless fixed
  std::string target;  // under targetRoot
  bool quoted;         // both paths stand between double quotes
};

// The job tables, in the order their menus test the keys.
const std::vector<BackupJob>& mainMenuJobs();
const std::vector<BackupJob>& menu2Jobs();

// The job with that key, or none.
const BackupJob* findJob(const std::vector<BackupJob>& jobs, const std::string& key);

// "XCOPY <source> <target> /S /D /I /Y" with the current drive roots.
std::string jobCommandLine(const BackupJob& job);

// The text handed to the interpreter: its path, " /C" and the command line, nothing between.
// Raises 7 and gives "" when the text cannot be held.
std::string interpreterCommandText(const std::string& interpreter, const std::string& line);

// Statements of the calling menu (its error handler takes their errors). runJob stores the
// job's command line in `commandLine` and runs it; runCommandLine runs `commandLine` through
// COMSPEC, waits, and asks for a key before the menu comes back.
void runJob(const BackupJob& job);
void runCommandLine();
