"""Backup media for the checks and the benchmark: each kind made, mounted and
taken down again by one context manager.

    with rigs.medium("exfat", parent_folder) as target:
        ...  # target.root is the mounted file system

Kinds: exfat (exfat-fuse on a loop device), fat32 (fusefat on a loop device),
ntfs (ntfs-3g on a loop device), sshfs (a share from an sshd of our own on a
free loopback port, optionally through the delay relay), ext4 (loop device)
and tmpfs. The FUSE block media sit on loop devices so that the image file is
"the medium": what the driver wrote but nobody flushed stays in the loop
device's page cache, as it stays in a stick's driver and cache when it is
pulled, and snapshot() shows what a pulled stick would hold.

Everything a rig starts (loop devices, mounts, driver processes, sshd, relay)
is undone when the `with` ends, also on an error, Ctrl+C or SIGTERM (see
stop_on_termination). unavailable(kind) says in one line why a kind cannot
be had here (not root, no /dev/fuse, a Debian package missing).
"""

import contextlib
import ctypes
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

KINDS = ("exfat", "fat32", "ntfs", "sshfs", "ext4", "tmpfs")
# errfs: a FUSE file system of the checks' own that fails chosen calls (errfs.py).
FUSE_KINDS = ("exfat", "fat32", "ntfs", "sshfs", "errfs")
LOOP_KINDS = ("exfat", "fat32", "ntfs", "ext4")
IMAGE_MIB = 64
HERE = os.path.dirname(os.path.abspath(__file__))
SFTP_SERVER = "/usr/lib/openssh/sftp-server"
DEBIAN_PYTHON = "/usr/bin/python3"

# The commands each kind needs, with the Debian package that brings them.
NEEDS = {
    "exfat": [("mount.exfat-fuse", "exfat-fuse"), ("mkfs.exfat", "exfatprogs")],
    "fat32": [("fusefat", "fusefat"), ("mkfs.vfat", "dosfstools")],
    "ntfs": [("ntfs-3g", "ntfs-3g"), ("mkntfs", "ntfs-3g")],
    "sshfs": [("/usr/sbin/sshd", "openssh-server"), (SFTP_SERVER, "openssh-sftp-server"),
              ("sshfs", "sshfs"), ("ssh-keygen", "openssh-client")],
    "ext4": [("mkfs.ext4", "e2fsprogs")],
    "tmpfs": [],
    "errfs": [("python3-fusepy", "python3-fusepy")],
}
for _kind in LOOP_KINDS:
    NEEDS[_kind].append(("losetup", "mount"))


class Unavailable(Exception):
    """This kind of medium cannot be had on this machine; the text says why."""


class RigError(Exception):
    """Making, mounting or taking down a medium failed."""


def _have(command):
    if command.startswith("python3-"):
        # A Debian package of Python modules is there for Debian's Python,
        # which need not be the python3 first on the PATH.
        return subprocess.run([DEBIAN_PYTHON, "-c", f"import {command[len('python3-'):]}"],
                              stdin=subprocess.DEVNULL, capture_output=True).returncode == 0
    if command.startswith("/"):
        return os.access(command, os.X_OK)
    return shutil.which(command, path=os.environ.get("PATH", "") + ":/usr/sbin:/sbin") is not None


def unavailable(kind):
    """Why `kind` cannot be mounted here, or None when it can."""
    if kind not in NEEDS:
        return f"unknown kind of medium {kind!r} (kinds: {', '.join(KINDS)})"
    if os.geteuid() != 0:
        return "needs root (it mounts file systems and attaches loop devices)"
    if kind in FUSE_KINDS:
        try:
            os.close(os.open("/dev/fuse", os.O_RDWR))
        except OSError as error:
            return f"no usable /dev/fuse ({error.strerror})"
    if kind in LOOP_KINDS and not os.path.exists("/dev/loop-control"):
        return "no loop devices (/dev/loop-control is missing)"
    missing = sorted({package for command, package in NEEDS[kind] if not _have(command)})
    if missing:
        return f"Debian package(s) missing: {' '.join(missing)} (apt-get install {' '.join(missing)})"
    return None


def stop_on_termination():
    """Makes SIGTERM and SIGHUP end the program as Ctrl+C does, by an
    exception, so that every rig's `with` takes down what it started."""

    def raise_interrupt(_number, _frame):
        raise KeyboardInterrupt

    for number in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, raise_interrupt)


def _die_with_parent():
    # A driver, sshd or relay must not outlive a test runner that was killed.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def run(command, **options):
    """Runs a command, and raises RigError with its output when it fails."""
    result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                            errors="replace", **options)
    if result.returncode != 0:
        raise RigError(f"{' '.join(command)} failed ({result.returncode}): "
                       f"{(result.stderr or result.stdout).strip()[-1500:]}")
    return result.stdout


def _start(command, log_path):
    with open(log_path, "ab") as log:
        return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                preexec_fn=_die_with_parent)


def _log_tail(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()[-1500:].strip()
    except OSError:
        return ""


def mounted_type(path):
    """The file-system type mounted at exactly `path`, or None."""
    path = os.fsencode(os.path.realpath(path))
    with open("/proc/self/mountinfo", "rb") as f:
        for line in f:
            fields = line.split()
            point = re.sub(rb"\\([0-7]{3})", lambda m: bytes([int(m.group(1), 8)]), fields[4])
            if point == path:
                return fields[fields.index(b"-") + 1].decode()
    return None


def mounted_below(path):
    """Whether anything is mounted at or below `path`: a folder to leave
    alone rather than remove, lest the removal go into the mounted medium."""
    prefix = os.fsencode(os.path.realpath(path))
    with open("/proc/self/mountinfo", "rb") as f:
        for line in f:
            point = re.sub(rb"\\([0-7]{3})", lambda m: bytes([int(m.group(1), 8)]), line.split()[4])
            if point == prefix or point.startswith(prefix + b"/"):
                return True
    return False


def remove_folder(path):
    """Removes a folder a rig or check made, unless something is still mounted in it."""
    if mounted_below(path):
        print(f"rigs: something is still mounted in {path}; left it in place", file=sys.stderr)
        return
    shutil.rmtree(path, ignore_errors=True)


def _end_process(process, seconds=10):
    """Waits for a process of ours to end, then asks it, then makes it."""
    for sending in (None, signal.SIGTERM, signal.SIGKILL):
        if sending is not None:
            with contextlib.suppress(ProcessLookupError):
                process.send_signal(sending)
        try:
            process.wait(timeout=seconds if sending is None else 5)
            return
        except subprocess.TimeoutExpired:
            pass


def _wait_pid_gone(pid, seconds=10):
    """For a daemon that detached itself (mount.exfat-fuse, ntfs-3g)."""
    deadline = time.monotonic() + seconds
    for sending in (None, signal.SIGTERM, signal.SIGKILL):
        if sending is not None:
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, sending)
            deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            if not os.path.exists(f"/proc/{pid}") or _is_zombie(pid):
                return
            time.sleep(0.02)


def _is_zombie(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True


def _daemon_pid(*arguments):
    """The process whose command line holds all these arguments (a FUSE
    driver that detached itself), or None."""
    wanted = [a.encode() for a in arguments]
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                words = f.read().split(b"\0")
        except OSError:
            continue
        if all(word in words for word in wanted):
            return int(entry)
    return None


def attach_loop(image, read_only=False):
    """A loop device for the image. Another process may take the free device
    between losetup's finding it and its taking it: then it tries again."""
    for attempt in range(5):
        try:
            return run(["losetup", "-f", "--show"] + (["-r"] if read_only else []) + [image]).strip()
        except RigError:
            if attempt == 4:
                raise
            time.sleep(0.1 * (attempt + 1))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _wait_port(port, process, log, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RigError(f"{process.args[0]} ended ({process.returncode}) before listening: {_log_tail(log)}")
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return
        time.sleep(0.02)
    raise RigError(f"nothing listens on port {port} after {seconds} s: {_log_tail(log)}")


class Medium:
    """One mounted medium. root: where it is mounted. For sshfs also
    server_dir (the share's folder as the server sees it) and sftp_log (the
    SFTP server's log of requests, when asked for)."""

    def __init__(self, kind, folder, read_only=False, delay_ms=None, log_requests=False,
                 options=()):
        self.kind, self.folder = kind, folder
        self.read_only = read_only
        self.delay_ms, self.log_requests = delay_ms, log_requests
        self.options = list(options)
        self.root = os.path.join(folder, "mnt")
        self.image = os.path.join(folder, "medium.img") if kind in LOOP_KINDS else None
        self.device = None
        self.driver = None      # Popen of a driver we keep as a child (fusefat, sshfs)
        self.driver_pid = None  # pid of a driver that detached itself
        self.server_dir = self.sftp_log = None
        self.armed = None       # errfs: its faults are on while this file exists
        self.port = None        # where sshfs connects: the relay's port, else sshd's
        self.ssh_folder = None
        self.servers = []       # sshd and the relay, for those who measure what they cost
        self.cleanup = contextlib.ExitStack()

    # -- making ---------------------------------------------------------
    def make(self):
        os.mkdir(self.root)
        if self.image:
            with open(self.image, "wb") as f:
                f.truncate(IMAGE_MIB << 20)
            make_fs = {
                "exfat": ["mkfs.exfat", self.image],
                "fat32": ["mkfs.vfat", "-F", "32", self.image],
                "ntfs": ["mkntfs", "-F", "-Q", "-q", self.image],
                "ext4": ["mkfs.ext4", "-q", "-F", "-E", "lazy_itable_init=0,lazy_journal_init=0",
                         self.image],
            }[self.kind]
            run(make_fs)
            self.device = self._attach(self.image)
        if self.kind == "sshfs":
            self._start_server()
        if self.kind == "errfs":
            self.server_dir = os.path.join(self.folder, "backing")
            os.mkdir(self.server_dir)
            self.armed = os.path.join(self.folder, "armed")
            open(self.armed, "w").close()
        self.mount(self.read_only)

    def _attach(self, image):
        device = attach_loop(image)
        self.cleanup.callback(self._detach, device)
        return device

    @staticmethod
    def _detach(device):
        # Autoclear: a device still held (a driver that has not let go yet)
        # is detached as soon as it is let go.
        subprocess.run(["losetup", "-d", device], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _start_server(self):
        ssh = os.path.join(self.folder, "ssh")
        os.mkdir(ssh, 0o700)
        self.server_dir = os.path.join(self.folder, "share")
        os.mkdir(self.server_dir)
        for key in ("host_key", "user_key"):
            run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", "harrowkeeps media rig",
                 "-f", os.path.join(ssh, key)])
        shutil.copy(os.path.join(ssh, "user_key.pub"), os.path.join(ssh, "authorized_keys"))
        # sshd's privilege separation needs this folder; Debian's ssh service makes it at boot.
        os.makedirs("/run/sshd", mode=0o755, exist_ok=True)
        subsystem = SFTP_SERVER
        if self.log_requests:
            # Open, fsync, rename and close are logged at INFO, with the path.
            self.sftp_log = os.path.join(self.folder, "sftp-requests.log")
            subsystem += f" -e -l DEBUG3 2>>{self.sftp_log}"
        port = free_port()
        config = os.path.join(ssh, "sshd_config")
        with open(config, "w") as f:
            f.write(f"""ListenAddress 127.0.0.1:{port}
HostKey {ssh}/host_key
AuthorizedKeysFile {ssh}/authorized_keys
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
# The keys lie under $TMPDIR, which anyone may write to.
StrictModes no
PidFile none
LogLevel ERROR
MaxStartups 100
Subsystem sftp {subsystem}
""")
        log = os.path.join(ssh, "sshd.log")
        sshd = _start(["/usr/sbin/sshd", "-D", "-e", "-f", config], log)
        self.cleanup.callback(_end_process, sshd, 0)
        self.servers.append(sshd)
        _wait_port(port, sshd, log)
        self.port = port
        if self.delay_ms:
            relay_port = free_port()
            relay_log = os.path.join(self.folder, "relay.log")
            relay = _start([sys.executable, os.path.join(HERE, "delay_relay.py"), str(relay_port),
                            str(port), str(self.delay_ms)], relay_log)
            self.cleanup.callback(_end_process, relay, 0)
            self.servers.append(relay)
            _wait_port(relay_port, relay, relay_log)
            self.port = relay_port
        self.ssh_folder = ssh

    # -- mounting -------------------------------------------------------
    def mount(self, read_only):
        """Mounts the medium at root, read-only or not."""
        log = os.path.join(self.folder, f"{self.kind}-driver.log")
        mode = "ro" if read_only else "rw"
        if self.kind == "exfat":
            run(["mount.exfat-fuse", "-o", ",".join([mode] + self.options), self.device, self.root])
            self.driver_pid = _daemon_pid("mount.exfat-fuse", self.device, self.root)
        elif self.kind == "ntfs":
            run(["ntfs-3g", "-o", ",".join([mode] + self.options), self.device, self.root])
            self.driver_pid = _daemon_pid("ntfs-3g", self.device, self.root)
        elif self.kind == "fat32":
            # fusefat writes only with rw+; it talks a lot on both outputs.
            self.driver = _start(["fusefat", "-f", "-o", ",".join(["ro" if read_only else "rw+"] + self.options),
                                  self.device, self.root], log)
        elif self.kind == "sshfs":
            options = ["IdentityFile=" + os.path.join(self.ssh_folder, "user_key"),
                       "StrictHostKeyChecking=no", "UserKnownHostsFile=/dev/null", "BatchMode=yes",
                       "LogLevel=ERROR"] + (["ro"] if read_only else []) + self.options
            self.driver = _start(["sshfs", "-f", "-F", "/dev/null", "-p", str(self.port),
                                  "-o", ",".join(options),
                                  f"root@127.0.0.1:{self.server_dir}", self.root], log)
        elif self.kind == "errfs":
            self.driver = _start([DEBIAN_PYTHON, os.path.join(HERE, "errfs.py"), self.server_dir,
                                  self.root, self.armed], log)
        elif self.kind == "ext4":
            run(["mount", "-t", "ext4", "-o", mode, self.device, self.root])
        elif self.kind == "tmpfs":
            run(["mount", "-t", "tmpfs", "-o", f"{mode},size={IMAGE_MIB}m,mode=755", "hk-media", self.root])
        self._wait_mounted(log)
        self.read_only = read_only

    def _wait_mounted(self, log):
        deadline = time.monotonic() + 15
        while mounted_type(self.root) is None:
            if self.driver is not None and self.driver.poll() is not None:
                raise RigError(f"{self.kind} driver ended ({self.driver.returncode}) without mounting: "
                               f"{_log_tail(log)}")
            if time.monotonic() > deadline:
                self.unmount()
                raise RigError(f"{self.kind} is not mounted at {self.root} after 15 s: {_log_tail(log)}")
            time.sleep(0.02)
        try:
            os.listdir(self.root)
        except OSError as error:
            self.unmount()
            raise RigError(f"{self.kind} is mounted but does not answer ({error.strerror}): {_log_tail(log)}")

    def unmount(self):
        """Unmounts and waits for the driver to have ended (and so to have
        written what it holds, as at a proper eject)."""
        if mounted_type(self.root) is not None:
            result = subprocess.run(["umount", self.root], stdin=subprocess.DEVNULL, capture_output=True)
            if result.returncode != 0:
                # Busy (a process still in it): detach it now, it goes when let go.
                subprocess.run(["umount", "-l", self.root], stdin=subprocess.DEVNULL, capture_output=True)
        if self.driver is not None:
            _end_process(self.driver)
            self.driver = None
        if self.driver_pid is not None:
            _wait_pid_gone(self.driver_pid)
            self.driver_pid = None

    def remount(self, read_only):
        if self.kind in ("ext4", "tmpfs"):
            run(["mount", "-o", "remount," + ("ro" if read_only else "rw"), self.root])
            self.read_only = read_only
        else:
            self.unmount()
            self.mount(read_only)

    def fuse_process(self):
        """The pid of the FUSE driver serving the mount, or None."""
        if self.driver is not None:
            return self.driver.pid
        return self.driver_pid

    # -- what the medium holds ------------------------------------------
    @contextlib.contextmanager
    def snapshot(self):
        """A read-only mount of a copy of the image as it is now, without
        asking the mounted driver anything: what a stick pulled now would
        hold. Only for media on an image."""
        if not self.image:
            raise RigError(f"{self.kind} has no image to take a snapshot of")
        folder = tempfile.mkdtemp(prefix="snapshot-", dir=self.folder)
        image = os.path.join(folder, "snapshot.img")
        mount_point = os.path.join(folder, "mnt")
        os.mkdir(mount_point)
        # The loop device writes into the image through its page cache, so a
        # plain read sees everything the device was given, and nothing more.
        run(["cp", "--sparse=always", self.image, image])
        with contextlib.ExitStack() as stack:
            stack.callback(remove_folder, folder)
            log = os.path.join(folder, "driver.log")
            driver = None
            if self.kind == "exfat":
                device = attach_loop(image, read_only=True)
                stack.callback(self._detach, device)
                run(["mount.exfat-fuse", "-o", "ro", device, mount_point])
                pid = _daemon_pid("mount.exfat-fuse", device, mount_point)
            elif self.kind == "ntfs":
                run(["ntfs-3g", "-o", "ro", image, mount_point])
                pid = _daemon_pid("ntfs-3g", image, mount_point)
            elif self.kind == "fat32":
                driver = _start(["fusefat", "-f", "-o", "ro", image, mount_point], log)
                pid = None
            else:  # ext4: a read-write device, so the journal can be replayed as a remount would
                device = attach_loop(image)
                stack.callback(self._detach, device)
                run(["mount", "-t", "ext4", "-o", "ro", device, mount_point])
                pid = None

            def take_down():
                subprocess.run(["umount", mount_point], stdin=subprocess.DEVNULL, capture_output=True)
                if driver is not None:
                    _end_process(driver)
                if pid is not None:
                    _wait_pid_gone(pid)

            stack.callback(take_down)
            deadline = time.monotonic() + 15
            while mounted_type(mount_point) is None:
                if (driver is not None and driver.poll() is not None) or time.monotonic() > deadline:
                    raise RigError(f"the snapshot of {self.kind} could not be mounted: {_log_tail(log)}")
                time.sleep(0.02)
            yield mount_point


@contextlib.contextmanager
def medium(kind, parent, read_only=False, delay_ms=None, log_requests=False, options=()):
    """A freshly made, mounted medium of this kind in a folder of its own
    under `parent`; everything is taken down and removed afterwards.
    delay_ms (sshfs): a relay that holds back every chunk that long each way.
    log_requests (sshfs): the SFTP server logs each request to sftp_log."""
    why = unavailable(kind)
    if why:
        raise Unavailable(f"{kind}: {why}")
    folder = tempfile.mkdtemp(prefix=f"hk-{kind}-", dir=parent)
    target = Medium(kind, folder, read_only, delay_ms, log_requests, options)
    try:
        with target.cleanup:  # the loop device, sshd and relay go last
            try:
                target.make()
                yield target
            finally:
                target.unmount()
    finally:
        target.unmount()
        remove_folder(folder)
