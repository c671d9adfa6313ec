// The user's own folders as the desktop names them: XDG_DOCUMENTS_DIR and
// the like in ${XDG_CONFIG_HOME:-~/.config}/user-dirs.dirs, which
// xdg-user-dirs-update writes at the first login (translated names, such as
// ~/Dokumente, included).
#pragma once

#include <map>
#include <string>
#include <string_view>

struct UserDirs {
  // "DOCUMENTS" -> "/home/avo/Documents", with $HOME expanded.
  std::map<std::string, std::string> folders;
  // Names whose last assignment could not be read, with its line number:
  // a value that needs more of the shell than quotes and $HOME.
  std::map<std::string, int> unreadable;
};

// The file is shell assignments, read the way the shell would read them:
//   XDG_DOCUMENTS_DIR="$HOME/Documents"    or  "/srv/avo/docs"
// Blanks around '=' are taken, as the desktop's own readers take them;
// double and single quotes, backslashes, $HOME, ${HOME} and a leading ~ are
// understood. A later line for a name wins over an earlier one.
UserDirs parseUserDirs(std::string_view text, const std::string& home);

// $XDG_CONFIG_HOME/user-dirs.dirs when that is an absolute path, else
// ~/.config/user-dirs.dirs.
std::string userDirsFilePath(const std::string& home, const std::string& configHome);

// The file read and parsed; a missing file names nothing.
UserDirs readUserDirs(const std::string& path, const std::string& home);
