// Moving a file's bytes: in the kernel where it can (reflink,
// copy_file_range, sendfile), else through a buffer; only the parts that
// hold data, so a sparse file stays sparse where the target has holes.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

struct DataCopy {
  int error = 0;          // 0 or an errno
  bool onSource = false;  // the error came from reading the source
  long long bytes = 0;    // the size the copy has: less than the source's if it shrank
};

// Copies the open source `in`, as `source` describes it, into the empty
// file `out` on `outDevice`.
DataCopy copyFileData(int in, int out, const struct stat& source, dev_t outDevice);
