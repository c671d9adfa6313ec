// How the Unix host reads a Windows-style command text, and names a failure to start it.

#include <gtest/gtest.h>

#include <cerrno>

#include "console/posix/command_text.h"
#include "console/process.h"

namespace {

TEST(CommandText, TheFirstTokenIsTakenAsTheWindowsLoaderTakesIt) {
  struct Case {
    std::string text, program, argument;
  };
  const std::vector<Case> cases = {
      {"/usr/bin/cmd /CXCOPY \"My Documents\" \"My Documents\" /S /D /I /Y", "/usr/bin/cmd",
       "/CXCOPY \"My Documents\" \"My Documents\" /S /D /I /Y"},
      {"\"/opt/my tools/cmd\" /CXCOPY a b", "/opt/my tools/cmd", "/CXCOPY a b"},
      {"\"/opt/x\"/CXCOPY", "/opt/x", "/CXCOPY"},
      {"cmd \t  /C  two  blanks ", "cmd", "/C  two  blanks "},
      {"cmd", "cmd", ""},
      {" /CXCOPY a b", "", "/CXCOPY a b"},  // COMSPEC empty or unset
      {"\"unclosed /C x", "unclosed /C x", ""},
      {"", "", ""},
      {std::string("cmd /Ca\0b", 9), "cmd", "/Ca"},
      // Code page 437 in, UTF-8 out, for the program and for the argument.
      {"/opt/J\x94rg/cmd /CXCOPY \"C:\\B\x81"
       "cher\" \"J:\\B\x81"
       "cher\" /S",
       "/opt/Jörg/cmd", "/CXCOPY \"C:\\Bücher\" \"J:\\Bücher\" /S"},
      {"\"/opt/\x84 \x82\"/C\xE1", "/opt/ä é", "/Cß"},
  };
  for (const Case& c : cases) {
    const CommandText split = splitCommandText(c.text);
    EXPECT_EQ(split.program, c.program) << c.text;
    EXPECT_EQ(split.argument, c.argument) << c.text;
  }
}

TEST(CommandText, ErrnoValuesGiveTheCodeOfTheSameMeaningAndItsNumber) {
  const std::vector<std::pair<int, int32_t>> cases = {
      {ENOENT, 53},  {ENOTDIR, 76}, {EACCES, 70},       {EPERM, 70},  {EISDIR, 70},
      {ENOMEM, 7},   {EINVAL, 5},   {ENOEXEC, 51},      {EMFILE, 67}, {ENFILE, 67},
      {ETXTBSY, 70}, {E2BIG, 75},   {ENAMETOOLONG, 75}, {ELOOP, 75},  {EIO, 75},
  };
  for (auto [error, number] : cases) {
    EXPECT_EQ(mapSystemError(systemErrorForErrno(error)), number) << "errno " << error;
  }
  EXPECT_EQ(systemErrorForErrno(ENOENT), 2u);
  EXPECT_EQ(systemErrorForErrno(ENOTDIR), 3u);
  EXPECT_EQ(systemErrorForErrno(EACCES), 5u);
}

}  // namespace
