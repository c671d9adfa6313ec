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

// '?' takes one character, whatever its number of bytes, and letters match
// whatever their case; bytes that are not UTF-8 match only themselves.
TEST(MatchesMask, EveryLetterAndOneCharacterPerQuestionMark) {
  const MaskCase cases[] = {
      {"*.txt", "Übung.TXT", true},
      {"ü*", "Übung", true},
      {"?bung", "Übung", true},
      {"a?c", "aüc", true},
      {"a??c", "aüc", false},  // two bytes are still one character
      {"a?c", "a日c", true},
      {"a?c",
       "a\xF0\x90\x90\x80"
       "c",
       true},
      {"*.ΣΊΣ", "x.σίς", true},
      {"ÄPFEL.*", "äpfel", true},
      {"K*",
       "\xE2\x84\xAA"
       "elvin",
       true},  // the Kelvin sign
      {"*.ＴＸＴ", "a.ｔｘｔ", true},
      {"*.ＴＸＴ", "a.txt", false},
      {"ss*", "ßa", false},
      {"\xC3?", "\xC3x", true},
      {"\xC3*", "Über", false},  // a lone byte is not the start of Ü
      {"*\xBC", "ü", false},     // nor the end of ü
      {"?", "\xC3", true},
      {"??", "\xC3\x9C", true},
      {"Ü", "\xC3\xC3\x9C", false},
  };
  for (const MaskCase& c : cases)
    EXPECT_EQ(matchesMask(c.mask, c.name), c.matches)
        << testing::PrintToString(c.mask) << " vs " << testing::PrintToString(c.name);
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

// Whole characters are kept, taken and replaced, never a part of one.
TEST(ApplyRenameMask, OtherLettersStayWhole) {
  const RenameCase cases[] = {
      {"*.bas", "Übung.BAS", "Übung.bas"},
      {"*.*", "Ärger.ΤΧΤ", "Ärger.ΤΧΤ"},
      {"??.*", "über.txt", "üb.txt"},
      {"?.x", "日本.txt", "日.x"},
      {"A*", "übung", "Abung"},
      {"Ü*", "abc", "Übc"},
      {"*Σ.old", "λέξις.txt", "λέξιΣ.old"},  // '*' stops at the last σ, as ς
      {"*k.*", "Pac\xE2\x84\xAA.zip", "Pack.zip"},
      {"?.x", "\xC3\xC3\x9C", "\xC3.x"},
  };
  for (const RenameCase& c : cases)
    EXPECT_EQ(applyRenameMask(c.mask, c.name), c.result)
        << testing::PrintToString(c.mask) << " on " << testing::PrintToString(c.name);
}

}  // namespace
