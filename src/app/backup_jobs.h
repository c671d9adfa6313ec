#pragma once
#include <span>
#include <string>
#include <string_view>

// The fixed backup jobs: each copies one folder tree from the source drive to the target drive
// by an XCOPY command line run through the command interpreter.

struct BackupJob {
  std::string_view key;     // the one-character key that chooses it in its menu
  bool sourceFixed;         // the source is `source` as it stands, not under sourceRoot
  std::string_view source;  // under sourceRoot unless fixed
  std::string_view target;  // under targetRoot
  bool quoted;              // both paths stand between double quotes
};

// The job tables, in the order their menus test the keys. Constants: choosing a job can't fail.
std::span<const BackupJob> mainMenuJobs();
std::span<const BackupJob> menu2Jobs();

// The job with that key, or none.
const BackupJob* findJob(std::span<const BackupJob> jobs, std::string_view key);

// "XCOPY <source> <target> /S /D /I /Y" with the current drive roots.
std::string jobCommandLine(const BackupJob& job);

// The text handed to the interpreter: its path, " /C" and the command line, nothing between.
// Raises 7 and gives "" when the text cannot be held, so that the statement it is part of
// still goes on to create the process.
std::string interpreterCommandText(const std::string& interpreter, const std::string& line);

// Statements of the calling menu (its error handler takes their errors). runJob stores the
// job's command line in `commandLine` and runs it; runCommandLine runs `commandLine` through
// COMSPEC, waits, and asks for a key before the menu comes back.
void runJob(const BackupJob& job);
void runCommandLine();
