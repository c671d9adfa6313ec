// Writing one file so that its final name only ever holds a complete copy:
// the data goes to a temporary in the same folder, gets the source's
// permission bits and times, and is renamed over the final name last. A copy
// that is killed, runs out of room or hits a read error leaves at most a
// temporary, which /D can never mistake for an up-to-date backup.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>

// ".hkcmd-<pid>-<n>.tmp"
bool isTemporaryName(std::string_view name);

// One of ours whose writer is no longer running.
bool isAbandonedTemporary(std::string_view name);

// 0 or an errno. `source` is the stat of the open source descriptor.
int copyFileAtomically(int sourceFd, const struct stat& source, int folderFd, dev_t folderDevice,
                       const std::string& finalName);

// The data alone, from the current offsets, up to `size` bytes: in the
// kernel where it can (reflink, copy_file_range, sendfile), else read/write.
int copyFileData(int in, int out, off_t size, dev_t inDevice, dev_t outDevice);
