// Moving a file's bytes: in the kernel where it can (reflink,
// copy_file_range, sendfile), else through a buffer.
#pragma once

#include <sys/types.h>

// From the current offsets, up to `size` bytes; 0 or an errno.
int copyFileData(int in, int out, off_t size, dev_t inDevice, dev_t outDevice);
