#!/usr/bin/env python3
"""A FUSE file system that passes everything through to a folder, and fails
chosen calls for files whose data holds a marker, as a failing disk or a
share whose server refused the data would:

  FAIL-FSYNC   fsync and fdatasync of the file answer EIO
  FAIL-FLUSH   closing the file (FUSE flush) answers EIO
  FAIL-WRITE   writing the block with the marker answers ENOSPC, and the
               file cannot be removed afterwards (unlink answers EIO) until
               the faults are switched off
  FAIL-UNLINK  the file cannot be removed (unlink answers EIO), as above

The file's name does not choose: a copier writes into temporaries whose
names it makes up. Faults are on while the file ARMED exists; remove it to
have a well-behaved file system again (a run after the faulty one).

Usage: errfs.py BACKING-FOLDER MOUNT-POINT ARMED-FILE   (runs in the foreground)
Needs python3-fusepy (libfuse 2).
"""

import errno
import os
import sys
import threading

from fusepy import FUSE, FuseOSError, Operations

MARKERS = (b"FAIL-FSYNC", b"FAIL-FLUSH", b"FAIL-WRITE", b"FAIL-UNLINK")


class FaultyPassthrough(Operations):
    def __init__(self, backing, armed):
        self.backing, self.armed = backing, armed
        self.lock = threading.Lock()
        self.faults = {}        # fh -> set of markers seen in its data
        self.paths = {}         # fh -> path, kept across renames
        self.stuck = set()      # paths that cannot be removed

    def real(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    def on(self):
        return os.path.exists(self.armed)

    # -- names ------------------------------------------------------------
    def getattr(self, path, fh=None):
        st = os.lstat(self.real(path)) if fh is None else os.fstat(fh)
        return {key: getattr(st, key) for key in (
            "st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_atime", "st_mtime",
            "st_ctime", "st_ino", "st_dev", "st_blocks", "st_blksize")} | {
            "st_atime": st.st_atime_ns / 1e9, "st_mtime": st.st_mtime_ns / 1e9,
            "st_ctime": st.st_ctime_ns / 1e9}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self.real(path))

    def readlink(self, path):
        return os.readlink(self.real(path))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def unlink(self, path):
        with self.lock:
            if path in self.stuck and self.on():
                raise FuseOSError(errno.EIO)
            self.stuck.discard(path)
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))
        with self.lock:
            for fh, path in self.paths.items():
                if path == old:
                    self.paths[fh] = new
            if old in self.stuck:
                self.stuck.discard(old)
                self.stuck.add(new)

    def link(self, target, source):
        os.link(self.real(source), self.real(target))

    def symlink(self, target, source):
        os.symlink(source, self.real(target))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode, follow_symlinks=False)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid, follow_symlinks=False)

    def utimens(self, path, times=None):
        if times is None:
            os.utime(self.real(path), follow_symlinks=False)
        else:
            os.utime(self.real(path), ns=tuple(int(t * 1e9) for t in times), follow_symlinks=False)

    def truncate(self, path, length, fh=None):
        if fh is None:
            os.truncate(self.real(path), length)
        else:
            os.ftruncate(fh, length)

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        return {key: getattr(st, key) for key in (
            "f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
            "f_flag", "f_frsize", "f_namemax")}

    # -- files ------------------------------------------------------------
    def remember(self, fh, path):
        with self.lock:
            self.paths[fh] = path
            self.faults[fh] = set()
        return fh

    def open(self, path, flags):
        return self.remember(os.open(self.real(path), flags), path)

    def create(self, path, mode, fi=None):
        return self.remember(os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode), path)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        seen = {marker for marker in MARKERS if marker in data}
        with self.lock:
            self.faults.setdefault(fh, set()).update(seen)
            if b"FAIL-UNLINK" in seen:
                self.stuck.add(self.paths.get(fh, path))
            if b"FAIL-WRITE" in seen and self.on():
                self.stuck.add(self.paths.get(fh, path))
                raise FuseOSError(errno.ENOSPC)
        return os.pwrite(fh, data, offset)

    def fsync(self, path, datasync, fh):
        if b"FAIL-FSYNC" in self.faults.get(fh, ()) and self.on():
            raise FuseOSError(errno.EIO)
        if datasync:
            os.fdatasync(fh)
        else:
            os.fsync(fh)

    def flush(self, path, fh):
        if b"FAIL-FLUSH" in self.faults.get(fh, ()) and self.on():
            raise FuseOSError(errno.EIO)

    def release(self, path, fh):
        with self.lock:
            self.faults.pop(fh, None)
            self.paths.pop(fh, None)
        os.close(fh)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: errfs.py BACKING-FOLDER MOUNT-POINT ARMED-FILE")
    backing, mount_point, armed = (os.path.abspath(a) for a in sys.argv[1:])
    # hard_remove: an open file that is removed goes at once, through our
    # unlink, instead of being hidden under a name of libfuse's own.
    FUSE(FaultyPassthrough(backing, armed), mount_point, foreground=True, nothreads=False,
         fsname="errfs", subtype="errfs", use_ino=True, hard_remove=True)


if __name__ == "__main__":
    main()
