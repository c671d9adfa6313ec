# Sourced by the scripts: makes sure the Debian packages a script needs are there before it
# builds anything, so a fresh machine fails (or is set up) in seconds, not after a long build.
#
#   need_debian_packages SCRIPT PACKAGE=PROBE...
#
# PROBE is a command, or an absolute path (a glob) for packages without one. Missing packages
# are installed with apt-get when running as root; otherwise the script stops with exit code 2
# after printing the one command that installs them.

# What each part of the work needs.
HK_BUILD_PACKAGES="cmake=cmake g++=g++ make=make"
HK_TEST_PACKAGES="libgtest-dev=/usr/include/gtest/gtest.h
  googletest=/usr/src/googletest/CMakeLists.txt
  tmux=tmux python3=python3 procps=ps
  clang=clang++ libclang-rt-14-dev=/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a
  clang-format=clang-format
  mandoc=mandoc groff-base=groff unicode-data=/usr/share/unicode/CaseFolding.txt"
# The backup media harrowkeeps-cmd's media checks mount: FUSE drivers, sshd and sshfs, and the
# FUSE binding of their fault-injecting file system.
HK_MEDIA_PACKAGES="exfat-fuse=/usr/sbin/mount.exfat-fuse exfatprogs=/usr/sbin/mkfs.exfat
  fusefat=/usr/bin/fusefat dosfstools=/usr/sbin/mkfs.vfat ntfs-3g=/usr/bin/ntfs-3g
  openssh-server=/usr/sbin/sshd sshfs=/usr/bin/sshfs
  python3-fusepy=/usr/lib/python3/dist-packages/fusepy.py"
HK_DEB_PACKAGES="dpkg-dev=dpkg-shlibdeps file=file"
HK_ZIP_PACKAGES="g++-mingw-w64-x86-64-posix=x86_64-w64-mingw32-g++-posix"
HK_WINE_PACKAGES="wine64=/usr/lib/wine/wine64"
HK_PACKAGE_CHECK_PACKAGES="unzip=unzip binutils-mingw-w64-x86-64=x86_64-w64-mingw32-objdump"

hk_probe() {
  case $1 in
    /*)
      for hk_file in $1; do
        [ -e "$hk_file" ] && return 0
      done
      return 1
      ;;
    *) command -v "$1" >/dev/null 2>&1 ;;
  esac
}

hk_missing_packages() {
  hk_missing=""
  for hk_spec in "$@"; do
    hk_probe "${hk_spec#*=}" || hk_missing="$hk_missing ${hk_spec%%=*}"
  done
  echo "$hk_missing"
}

need_debian_packages() {
  hk_script=$1
  shift
  hk_need=$(hk_missing_packages "$@")
  [ -z "$hk_need" ] && return 0
  if [ "$(id -u)" != 0 ]; then
    echo "$hk_script: these Debian packages are missing:$hk_need" >&2
    echo "Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y$hk_need" >&2
    exit 2
  fi
  echo "$hk_script: installing the missing Debian packages:$hk_need" >&2
  # Debconf must not ask anything: CI has no terminal and no standard input.
  if ! { DEBIAN_FRONTEND=noninteractive apt-get update -q &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q $hk_need; } </dev/null >&2; then
    echo "$hk_script: apt-get could not install:$hk_need" >&2
    exit 2
  fi
  hk_need=$(hk_missing_packages "$@")
  if [ -n "$hk_need" ]; then
    echo "$hk_script: still missing after apt-get:$hk_need" >&2
    exit 2
  fi
}
