// What a writer thread does with one file: everything from the open source
// to a complete copy in a temporary, and, where files are flushed one by
// one, on to its final name.
#pragma once

#include "file_in_flight.h"

// From this size on a file's writeback starts as soon as it is written, and
// its name shows as its copy starts.
constexpr long long largeFile = 4 << 20;

// Never throws; a failure is left in the record.
void writeFileInFlight(FileInFlight& file);

// A copy under its final name that may not be whole after all (a close or
// a flush that reported an error after the naming): a time older than any
// source makes the next run copy it again.
void markForCopyingAgain(const FileInFlight& file);

// Whether `source`, read until `readEnd`, was still within one time step
// of the target of being changed: a copy stamped with its time could be an
// older version that the next run takes for up to date.
bool tooFreshToTrust(const timespec& source, const timespec& readEnd, long long step);
