// Whether one folder lies inside another, asked of the disk rather than of
// path names, so links and bind mounts cannot hide it.
#pragma once

#include <sys/types.h>

// True when `folderFd` is the folder (wantedDevice, wantedInode) or lies
// below it.
bool isSameOrBelow(int folderFd, dev_t wantedDevice, ino_t wantedInode);
