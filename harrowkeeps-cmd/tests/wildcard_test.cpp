// Masks as Windows reads them, for the source and for renaming the copies.
#include <gtest/gtest.h>

#include "wildcard.h"

namespace {

struct MaskCase {
  const char* mask;
  const char* name;
  bool matches;
};

TEST(MatchesMask, WindowsRules) {
  const MaskCase cases[] = {
      {"*.*", "a.txt", true},
      {"*.*", "README", true},  // no dot at all
      {"*.*", ".profile", true},
      {"*.bas", "PROG.BAS", true},
      {"*.bas", "prog.Bas", true},
      {"*.bas", "prog.basic", false},
      {"*.bas", "bas", false},
      {"*.bas", "a.b.bas", true},
      {"*", "anything.at.all", true},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"???.txt", "a.txt", true},  // '?' may take nothing before a dot
      {"???.txt", "abcd.txt", false},
      {"*.", "Makefile", true},  // names without an extension
      {"*.", "a.c", false},
      {"abc.*", "abc", true},
      {"abc.*", "abc.d", true},
      {"abc.*", "abcd", false},
      {"Lotto?", "LOTTO5", true},
      {"*zip*", "MyZIPs", true},
      {"", "", true},
      {"", "a", false},
  };
  for (const MaskCase& c : cases)
    EXPECT_EQ(matchesMask(c.mask, c.name), c.matches) << c.mask << " vs " << c.name;
}

TEST(MatchesMask, LongNamesDoNotBlowUp) {
  std::string name(2000, 'a');
  std::string mask;
  for (int i = 0; i < 200; ++i) mask += "*a";
  EXPECT_TRUE(matchesMask(mask, name));
  EXPECT_FALSE(matchesMask(mask + "b", name));
}

struct RenameCase {
  const char* mask;
  const char* name;
  const char* result;
};

TEST(ApplyRenameMask, TargetMaskNamesTheCopy) {
  const RenameCase cases[] = {
      {"*.bas", "PROG.BAS", "PROG.bas"},
      {"*.bas", "a.b.BAS", "a.b.bas"},
      {"*.*", "a.txt", "a.txt"},
      {"*.*", "README", "README"},
      {"*.*", "a.b.c", "a.b.c"},
      {"*", "Name.Ext", "Name.Ext"},
      {"*.bak", "notes.txt", "notes.bak"},
      {"?.x", "abc.def", "a.x"},
      {"new*", "old.txt", "new.txt"},  // letters take the places of the old ones
      {"..", "x", "x"},                // never "." or "..": a copy stays in its folder
      {".", "x", "x"},
  };
  for (const RenameCase& c : cases)
    EXPECT_EQ(applyRenameMask(c.mask, c.name), c.result) << c.mask << " on " << c.name;
}

}  // namespace
