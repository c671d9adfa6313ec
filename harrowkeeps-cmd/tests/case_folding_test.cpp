// Names compared whatever the case of any letter, as Windows compares them:
// Unicode's simple case folding over UTF-8, and bytes that are not UTF-8 as
// they are.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "case_folding.h"
#include "case_folding_table.h"

namespace {

std::string utf8(char32_t codePoint) {
  std::string text;
  if (codePoint < 0x80) {
    text += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    text += static_cast<char>(0xC0 | (codePoint >> 6));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    text += static_cast<char>(0xE0 | (codePoint >> 12));
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (codePoint >> 18));
    text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
  return text;
}

// The name in a buffer of exactly its size, so that a read past its end
// (a sequence cut short there) is caught by AddressSanitizer.
struct ExactBuffer {
  explicit ExactBuffer(std::string_view text) : bytes(new char[text.size()]), size(text.size()) {
    std::memcpy(bytes.get(), text.data(), text.size());
  }
  std::string_view view() const { return std::string_view(bytes.get(), size); }
  std::unique_ptr<char[]> bytes;
  std::size_t size;
};

struct FoldCase {
  const char* name;
  const char* folded;
};

// Whole names; each letter on its own is checked against Unicode's file below.
TEST(FoldCase, EveryLetterFoldsAsWindowsIgnoresItsCase) {
  const FoldCase cases[] = {
      {"BÜCHER", "bücher"},
      {"Äpfel und ÖL", "äpfel und öl"},
      {"ΣΊΣΥΦΟΣ", "σίσυφοσ"},
      {"σίσυφος", "σίσυφοσ"},  // the final sigma is a sigma
      {"ДОКУМЕНТЫ Ёж", "документы ёж"},
      {"ԱՐՄԵՆԻԱ", "արմենիա"},
      {"\xE2\x84\xAA.TXT", "k.txt"},             // the Kelvin sign: three bytes become one
      {"ＦＵＬＬ.ＴＸＴ", "ｆｕｌｌ.ｔｘｔ"},    // fullwidth letters stay fullwidth
      {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8"},  // Deseret, four bytes
      {"Ⱥ", "ⱥ"},                                // two bytes become three
      {"STRAẞE", "straße"},  // simple folding maps one letter to one: ß stays ß, not ss
      {"日本語のファイル", "日本語のファイル"},
      {"e\xCC\x81", "e\xCC\x81"},  // no normalisation, as on Windows
      {"", ""},
  };
  for (const FoldCase& c : cases) {
    ExactBuffer name(c.name);
    EXPECT_EQ(foldCase(name.view()), c.folded) << c.name;
    EXPECT_EQ(foldCase(c.folded), c.folded) << c.name;
  }
}

TEST(FoldCase, BytesThatAreNotUtf8StayAsTheyAre) {
  const FoldCase cases[] = {
      {"\xFF\xFE"
       "ABC",
       "\xFF\xFE"
       "abc"},
      {"A\xC3", "a\xC3"},        // cut short at the end
      {"\xE2\x84", "\xE2\x84"},  // the Kelvin sign cut short
      {"\xE2\x84K", "\xE2\x84k"},
      {"\xF0\x90\x90", "\xF0\x90\x90"},          // four bytes cut short
      {"\xC3\xC3\x9C", "\xC3\xC3\xBC"},          // a lone lead byte, then Ü
      {"\x9C\xC3\x84", "\x9C\xC3\xA4"},          // a lone continuation byte, then Ä
      {"\xC1\x81", "\xC1\x81"},                  // 'A' in two bytes (overlong)
      {"\xE0\x81\x81", "\xE0\x81\x81"},          // 'A' in three bytes (overlong)
      {"\xED\xA0\x80", "\xED\xA0\x80"},          // a surrogate
      {"\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},  // above U+10FFFF
      {"\xF5\xF8\xFC\xFE", "\xF5\xF8\xFC\xFE"},
  };
  for (const FoldCase& c : cases) {
    ExactBuffer name(c.name);
    EXPECT_EQ(foldCase(name.view()), c.folded) << testing::PrintToString(c.name);
    EXPECT_EQ(foldCase(c.folded), c.folded) << testing::PrintToString(c.name);
  }
}

struct EqualCase {
  const char* a;
  const char* b;
  bool equal;
};

TEST(NamesEqualIgnoringCase, TheSameNameWhateverTheCaseOfItsLetters) {
  const EqualCase cases[] = {
      {"Bücher", "BÜCHER", true},
      {"Bücher", "BUCHER", false},
      {"Bücher", "Büche", false},
      {"ΣΊΣΥΦΟΣ", "σίσυφος", true},
      {"ДОКУМЕНТЫ", "документы", true},
      {"\xE2\x84\xAA.txt", "K.TXT", true},  // Kelvin sign and K, of other lengths
      {"ＦＵＬＬ", "ｆｕｌｌ", true},
      {"ＦＵＬＬ", "full", false},
      {"ß", "ss", false},
      {"Straße", "STRASSE", false},
      {"ß", "ẞ", true},
      {"ı", "I", false},
      {"İ", "i", false},
      {"é", "e\xCC\x81", false},
      {"MyZIPs", "myzips", true},
      {"MyZIPs", "myzipt", false},
      // Bytes that are not UTF-8 match only themselves.
      {"\xC3", "\xC3", true},
      {"\xC3", "\xE3", false},
      {"\xC3"
       "A",
       "\xC3"
       "a",
       true},
      {"\xC3", "\xC3\xBC", false},
      {"\xC3\x9C", "\xC3\xBC", true},  // Ü and ü
      {"\xC1\x81", "a", false},
      {"\xC1\x81", "A", false},
      {"\xE2\x84", "\xE2\x84\xAA", false},
      {"\xE2\x84"
       "K",
       "\xE2\x84"
       "k",
       true},
      {"\xFF"
       "Ü",
       "\xFF"
       "ü",
       true},
      {"\xFF", "\xFE", false},
      {"\xED\xA0\x80", "\xED\xA0\x80", true},
      {"\xED\xA0\x80", "\xED\xA0\x81", false},
  };
  for (const EqualCase& c : cases) {
    ExactBuffer a(c.a);
    ExactBuffer b(c.b);
    const std::string shown = testing::PrintToString(c.a) + " vs " + testing::PrintToString(c.b);
    EXPECT_EQ(namesEqualIgnoringCase(a.view(), b.view()), c.equal) << shown;
    EXPECT_EQ(namesEqualIgnoringCase(b.view(), a.view()), c.equal) << shown;
    // Sorting and looking up by the folded form must agree with comparing.
    EXPECT_EQ(foldCase(c.a) == foldCase(c.b), c.equal) << shown;
  }
}

struct LengthCase {
  const char* text;
  std::size_t at;
  std::size_t length;
};

TEST(CharacterLength, OneWholeSequenceOrOneByte) {
  const LengthCase cases[] = {
      {"aÜb", 1, 2},
      {"日", 0, 3},
      {"\xF0\x90\x90\x80", 0, 4},
      {"\xF0\x90\x90\x80", 1, 1},  // inside a sequence
      {"\xC3", 0, 1},
      {"\xE2\x84", 0, 1},
      {"\xED\xA0\x80", 0, 1},
      {"\xC1\x81", 0, 1},
  };
  for (const LengthCase& c : cases) {
    ExactBuffer text(c.text);
    EXPECT_EQ(characterLength(text.view(), c.at), c.length) << testing::PrintToString(c.text);
  }
}

// Every character folds to one character, which folds to itself and is the
// same name: a fault in the table's runs or in writing UTF-8 shows here.
TEST(FoldCase, EveryCharacterFoldsToOneThatStays) {
  int faults = 0;
  for (char32_t codePoint = 0; codePoint <= 0x10FFFF && faults < 5; ++codePoint) {
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) continue;
    const std::string name = utf8(codePoint);
    const std::string folded = foldCase(name);
    if (folded.empty() || characterLength(folded, 0) != folded.size() ||
        foldCase(folded) != folded || !namesEqualIgnoringCase(name, folded)) {
      ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned long>(codePoint) << " folds to "
                    << testing::PrintToString(folded);
      ++faults;
    }
  }
}

// The table against Unicode's own file (Debian's unicode-data, which the
// test command installs).
TEST(FoldCase, AsUnicodesCaseFoldingFile) {
  const char* path = "/usr/share/unicode/CaseFolding.txt";
  std::ifstream file(path);
  if (!file) GTEST_SKIP() << path << " is missing (Debian: apt-get install unicode-data)";
  std::string line;
  std::getline(file, line);
  const std::string version = "CaseFolding-" + std::string(caseFoldingUnicodeVersion) + ".txt";
  if (line.find(version) == std::string::npos)
    GTEST_SKIP() << path << " is another Unicode version than the table's " << version << ": "
                 << line;
  std::map<char32_t, char32_t> simple;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string code, status, mapping;
    std::getline(fields, code, ';');
    std::getline(fields, status, ';');
    std::getline(fields, mapping, ';');
    if (status == " C" || status == " S")
      simple[static_cast<char32_t>(std::stoul(code, nullptr, 16))] =
          static_cast<char32_t>(std::stoul(mapping, nullptr, 16));
  }
  ASSERT_GT(simple.size(), 1400u);
  // Every other code point, those with only a full (F) or Turkic (T) folding
  // among them, folds to itself.
  int faults = 0;
  for (char32_t codePoint = 0; codePoint <= 0x10FFFF && faults < 5; ++codePoint) {
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) continue;
    auto mapped = simple.find(codePoint);
    const std::string expected = utf8(mapped == simple.end() ? codePoint : mapped->second);
    const std::string folded = foldCase(utf8(codePoint));
    if (folded != expected) {
      ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned long>(codePoint) << " folds to "
                    << testing::PrintToString(folded) << ", not "
                    << testing::PrintToString(expected);
      ++faults;
    }
  }
}

}  // namespace
