// Disks the desktop mounted for the user: udisks puts a plugged-in stick or
// disk at /media/$USER/LABEL (Debian) or /run/media/$USER/LABEL (others).
#pragma once

#include <string>
#include <vector>

// The mount points in `mountsTable` (fstab's format, as /proc/self/mounts
// is) that lie directly in one of `mediaFolders`, sorted, each once.
std::vector<std::string> removableMedia(const std::vector<std::string>& mediaFolders,
                                        const std::string& mountsTable = "/proc/self/mounts");

// /media/NAME and /run/media/NAME for the user running us.
std::vector<std::string> userMediaFolders();
