// Reading the desktop's names for the user's folders, and finding the disks
// the desktop mounted.
#include <gtest/gtest.h>

#include "removable_media.h"
#include "test_support.h"
#include "user_dirs.h"

namespace {

const std::string home = "/home/avo";

struct DirsCase {
  const char* text;
  const char* name;    // between XDG_ and _DIR
  const char* folder;  // "" when the name is not read as a folder
  bool unreadable;
};

TEST(UserDirs, EachLineIsReadAsTheShellReadsIt) {
  const DirsCase cases[] = {
      {"XDG_DOCUMENTS_DIR=\"$HOME/Documents\"", "DOCUMENTS", "/home/avo/Documents", false},
      {"XDG_DOCUMENTS_DIR=\"/srv/avo/docs\"", "DOCUMENTS", "/srv/avo/docs", false},
      {"XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"", "DOCUMENTS", "/home/avo/Dokumente", false},
      {"  XDG_MUSIC_DIR = \"$HOME/Music\"", "MUSIC", "/home/avo/Music", false},
      {"export XDG_MUSIC_DIR=\"$HOME/Music\"", "MUSIC", "/home/avo/Music", false},
      {"XDG_MUSIC_DIR=\"${HOME}/Musik\"", "MUSIC", "/home/avo/Musik", false},
      {"XDG_MUSIC_DIR=~/Music", "MUSIC", "/home/avo/Music", false},
      {"XDG_MUSIC_DIR='/srv/$HOME'", "MUSIC", "/srv/$HOME", false},
      {"XDG_MUSIC_DIR=\"$HOME/My \\\"Music\\\"\"", "MUSIC", "/home/avo/My \"Music\"", false},
      {"XDG_MUSIC_DIR=\"$HOME/a\\\\b\\$c\"", "MUSIC", "/home/avo/a\\b$c", false},
      {"XDG_MUSIC_DIR=\"$HOME/a\\b\"", "MUSIC", "/home/avo/a\\b", false},
      {"XDG_MUSIC_DIR=$HOME/My\\ Music", "MUSIC", "/home/avo/My Music", false},
      {"XDG_MUSIC_DIR=$HOME/\"My Music\"/new", "MUSIC", "/home/avo/My Music/new", false},
      {"XDG_MUSIC_DIR=\"$HOME/Music/\"  # mine", "MUSIC", "/home/avo/Music", false},
      {"XDG_MUSIC_DIR=\"$HOME/Music\"\r", "MUSIC", "/home/avo/Music", false},
      {"XDG_DOWNLOAD_DIR=\"$HOME\"", "DOWNLOAD", "/home/avo", false},
      {"XDG_MUSIC_DIR=\"$HOMEDIR/Music\"", "MUSIC", "", true},
      {"XDG_MUSIC_DIR=\"$USER/Music\"", "MUSIC", "", true},
      {"XDG_MUSIC_DIR=\"`whoami`\"", "MUSIC", "", true},
      {"XDG_MUSIC_DIR=\"$HOME/Music", "MUSIC", "", true},
      {"XDG_MUSIC_DIR=\"$HOME/Music\"; rm -rf ~", "MUSIC", "", true},
      {"XDG_MUSIC_DIR=\"$HOME/Music\" other", "MUSIC", "", true},
      {"XDG_MUSIC_DIR=\"Music\"", "MUSIC", "", true},
      {"XDG_MUSIC_DIR=\"\"", "MUSIC", "", true},
      {"XDG_MUSIC_DIR=$(pwd)", "MUSIC", "", true},
      {"# XDG_MUSIC_DIR=\"$HOME/Music\"", "MUSIC", "", false},
      {"MY_MUSIC_DIR=\"$HOME/Music\"", "MUSIC", "", false},
      {"XDG_MUSIC_FOLDER=\"$HOME/Music\"", "MUSIC", "", false},
      {"XDG_MUSIC_DIR", "MUSIC", "", false},
  };
  for (const DirsCase& c : cases) {
    UserDirs dirs = parseUserDirs(c.text, home);
    auto found = dirs.folders.find(c.name);
    EXPECT_EQ(found == dirs.folders.end() ? std::string() : found->second, c.folder) << c.text;
    EXPECT_EQ(dirs.unreadable.count(c.name), c.unreadable ? 1u : 0u) << c.text;
  }
}

TEST(UserDirs, TheFileAsTheDesktopWritesItAndTheLastLineForANameWins) {
  const std::string file =
      "# This file is written by xdg-user-dirs-update\n"
      "# If you want to change or add directories, just edit the line you're\n"
      "# interested in. All local changes will be retained on the next run.\n"
      "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
      "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
      "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
      "XDG_MUSIC_DIR=\"$HOME/Music\"\n"
      "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n"
      "XDG_VIDEOS_DIR=\"$HOME/Videos\"\n"
      "XDG_PICTURES_DIR=\"$HOME/Photos\"\n"
      "XDG_MUSIC_DIR=\"$OTHER\"\n"
      "XDG_VIDEOS_DIR=\"$OTHER\"\n"
      "XDG_VIDEOS_DIR=\"/srv/videos\"";  // no newline at the end
  UserDirs dirs = parseUserDirs(file, home);
  EXPECT_EQ(dirs.folders, (std::map<std::string, std::string>{
                              {"DESKTOP", "/home/avo/Desktop"},
                              {"DOWNLOAD", "/home/avo/Downloads"},
                              {"DOCUMENTS", "/home/avo/Documents"},
                              {"PICTURES", "/home/avo/Photos"},
                              {"VIDEOS", "/srv/videos"},
                          }));
  EXPECT_EQ(dirs.unreadable, (std::map<std::string, int>{{"MUSIC", 11}}));
}

TEST(UserDirs, TheFileIsInTheConfigFolder) {
  EXPECT_EQ(userDirsFilePath(home, ""), "/home/avo/.config/user-dirs.dirs");
  EXPECT_EQ(userDirsFilePath(home, "/cfg"), "/cfg/user-dirs.dirs");
  // A relative XDG_CONFIG_HOME is to be ignored.
  EXPECT_EQ(userDirsFilePath(home, "cfg"), "/home/avo/.config/user-dirs.dirs");
  EXPECT_TRUE(readUserDirs("/nonexistent/user-dirs.dirs", home).folders.empty());
}

TEST(RemovableMedia, OnlyDisksMountedDirectlyInTheUsersMediaFolders) {
  Sandbox sandbox = makeSandbox();
  const std::string table = sandbox.root + "/mounts";
  writeFile(table,
            "/dev/vda1 / ext4 rw 0 0\n"
            "/dev/sdb1 /media/avo/STICK vfat rw 0 0\n"
            "/dev/sdc1 /media/avo/My\\040Disk exfat rw 0 0\n"
            "/dev/sdd1 /run/media/avo/CARD vfat rw 0 0\n"
            "/dev/sde1 /media/bob/THEIRS vfat rw 0 0\n"
            "/dev/sdf1 /media/avo ext4 rw 0 0\n"
            "/dev/sdg1 /media/avo/STICK/inner ext4 rw 0 0\n"
            "/dev/sdb1 /media/avo/STICK vfat rw 0 0\n"
            "tmpfs /media/avotoo/X tmpfs rw 0 0\n");
  EXPECT_EQ(
      removableMedia({"/media/avo", "/run/media/avo"}, table),
      (std::vector<std::string>{"/media/avo/My Disk", "/media/avo/STICK", "/run/media/avo/CARD"}));
  EXPECT_TRUE(removableMedia({"/media/avo"}, sandbox.root + "/missing").empty());
  removeSandbox(sandbox);
}

}  // namespace
