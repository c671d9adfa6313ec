// Every text the program shows, in XCOPY's words where XCOPY has words for
// it, and the one place that writes them.
#pragma once

#include <string>
#include <string_view>

// Where names and counts go, and where complaints go. Lines end in "\n"
// only: a terminal turns that into CR LF itself.
struct Output {
  int out = 1;
  int err = 2;
};

// Written at once, after any names still held back, so everything appears
// in the order it was said.
void writeLine(int fd, std::string_view text);
void writeText(int fd, std::string_view text);

// The name of a copied file. One write per name would be a system call per
// file; so names are held back and written together, but never longer than
// nameLineDelay: the user still sees the copy go.
void writeNameLine(int fd, std::string_view name);
void flushNameLines();
inline constexpr long long nameLineDelay = 50'000'000;  // nanoseconds
// Nanoseconds until names held back are due, 0 when they are due now, -1
// when none are held.
long long nameLinesDueIn();

namespace text {
inline constexpr std::string_view invalidPath = "Invalid path";
inline constexpr std::string_view invalidNumberOfParameters = "Invalid number of parameters";
inline constexpr std::string_view invalidParameterPrefix = "Invalid parameter - ";
inline constexpr std::string_view invalidDrive = "Invalid drive specification";
inline constexpr std::string_view insufficientDiskSpace = "Insufficient disk space";
inline constexpr std::string_view accessDenied = "Access denied";
inline constexpr std::string_view cyclicCopy = "Cannot perform a cyclic copy";
inline constexpr std::string_view copyOntoItself = "File cannot be copied onto itself";
inline constexpr std::string_view fileNotFoundPrefix = "File not found - ";
inline constexpr std::string_view severalIntoOne = "Cannot copy several files into one file";
inline constexpr std::string_view skippedSpecial = "Skipped - not a regular file";
inline constexpr std::string_view notCopiedBrokenLink = "Not copied - link to nothing";
inline constexpr std::string_view notCopiedLoop =
    "Not copied - link to a folder already being copied";
inline constexpr std::string_view notCopiedHoldsTarget =
    "Not copied - link to a folder that holds the target";
inline constexpr std::string_view notCopiedNameTaken =
    "Not copied - its name on the target is taken";
inline constexpr std::string_view linkOnTarget =
    "Invalid path - a link on the target is not followed";
inline constexpr std::string_view fileInTheWay =
    "Invalid path - a file on the target is in the way";
inline constexpr std::string_view folderInTheWay = "Access denied - a folder of that name exists";
inline constexpr std::string_view noAnswer = "No answer: the input has ended";
inline constexpr std::string_view insufficientMemory = "Insufficient memory";
inline constexpr std::string_view changedWhileCopied =
    "Changed while copied - the next run copies it again";
inline constexpr std::string_view stoppedNotCopied =
    "Stopped - these files named above were not copied:";
inline constexpr std::string_view insufficientMemoryNotCopied =
    "Insufficient memory - these files named above were not copied:";
inline constexpr std::string_view temporaryNotRemoved =
    "A temporary file could not be removed; the next run removes it";
inline constexpr std::string_view usage =
    "Usage: harrowkeeps-cmd \"/C XCOPY source [target] [/S] [/D] [/I] [/Y] [/L]\"\n"
    "       harrowkeeps-cmd --make-drives [backup disk folder]  (--help for more)";
}  // namespace text

std::string filesCopiedLine(long count);
std::string filesListedLine(long count);  // after /L
std::string filesNotCopiedLine(long count);

// The line under XCOPY's own words that says which thing they are about.
std::string detailLine(std::string_view text);
std::string notRecognisedFirstLine(std::string_view command);
inline constexpr std::string_view notRecognisedSecondLine = "operable program or batch file.";

// What to tell the user when writing the copy failed with this errno.
std::string describeWriteError(int error);
// ... and when the source could not be read.
std::string describeReadError(int error);
