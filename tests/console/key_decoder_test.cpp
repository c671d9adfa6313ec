// Terminal bytes to key strings: the decoder followed by the same translation as on Windows.

#include <gtest/gtest.h>

#include "console/posix/key_decoder.h"

namespace {

// Decodes `bytes` arriving at once, and then, when `settle`, after the Esc timeout.
std::vector<std::string> keysOf(std::string_view bytes, bool settle = true) {
  KeyDecoder decoder;
  std::deque<KeyEvent> events;
  decodeKeys(decoder, bytes, 1000, events);
  if (settle) decodeKeys(decoder, "", 1000 + escapeTimeoutMs, events);
  std::vector<std::string> keys;
  for (const KeyEvent& e : events) {
    if (auto key = translateKeyEvent(e)) keys.push_back(*key);
  }
  return keys;
}

std::string ext(uint8_t code) {
  return std::string{'\0', static_cast<char>(code)};
}

struct Row {
  const char* name;
  std::string bytes;
  std::string key;
};

TEST(KeyDecoder, KeysTheProgramReliesOn) {
  const Row rows[] = {
      {"letter", "d", "d"},
      {"capital", "D", "D"},
      {"digit", "5", "5"},
      {"space", " ", " "},
      {"backslash", "\\", "\\"},
      {"Enter", "\r", "\r"},
      {"Tab", "\t", "\t"},
      {"Backspace DEL", "\x7f", "\b"},
      {"Backspace BS", "\b", "\b"},
      {"Esc", "\x1b", "\x1b"},
      {"Up CSI", "\x1b[A", ext(72)},
      {"Down CSI", "\x1b[B", ext(80)},
      {"Right CSI", "\x1b[C", ext(77)},
      {"Left CSI", "\x1b[D", ext(75)},
      {"Up SS3", "\x1bOA", ext(72)},
      {"Left SS3", "\x1bOD", ext(75)},
      {"Home CSI H", "\x1b[H", ext(71)},
      {"End CSI F", "\x1b[F", ext(79)},
      {"Home SS3", "\x1bOH", ext(71)},
      {"End SS3", "\x1bOF", ext(79)},
      {"Home 1~", "\x1b[1~", ext(71)},
      {"End 4~", "\x1b[4~", ext(79)},
      {"Home rxvt 7~", "\x1b[7~", ext(71)},
      {"End rxvt 8~", "\x1b[8~", ext(79)},
      {"Ins", "\x1b[2~", ext(82)},
      {"Del", "\x1b[3~", ext(83)},
      {"PgUp", "\x1b[5~", ext(73)},
      {"PgDn", "\x1b[6~", ext(81)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(keysOf(row.bytes), std::vector<std::string>{row.key}) << row.name;
  }
}

TEST(KeyDecoder, FunctionKeysInEveryForm) {
  const Row rows[] = {
      {"F1 SS3", "\x1bOP", ext(59)},      {"F4 SS3", "\x1bOS", ext(62)},
      {"F1 11~", "\x1b[11~", ext(59)},    {"F5 15~", "\x1b[15~", ext(63)},
      {"F6 17~", "\x1b[17~", ext(64)},    {"F10 21~", "\x1b[21~", ext(68)},
      {"F11", "\x1b[23~", ext(87)},       {"F12", "\x1b[24~", ext(88)},
      {"F1 Linux", "\x1b[[A", ext(59)},   {"F5 Linux", "\x1b[[E", ext(63)},
      {"Shift+F1", "\x1b[1;2P", ext(59)}, {"Ctrl+F5", "\x1b[15;5~", ext(63)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(keysOf(row.bytes), std::vector<std::string>{row.key}) << row.name;
  }
}

TEST(KeyDecoder, ModifiersOnExtendedKeysAreDropped) {
  EXPECT_EQ(keysOf("\x1b[1;5C"), std::vector<std::string>{ext(77)});  // Ctrl+Right
  EXPECT_EQ(keysOf("\x1b[1;2A"), std::vector<std::string>{ext(72)});
  EXPECT_EQ(keysOf("\x1b[3;3~"), std::vector<std::string>{ext(83)});
  EXPECT_EQ(keysOf("\x1b\x1b[A"), std::vector<std::string>{ext(72)});  // Alt+Up, rxvt
}

TEST(KeyDecoder, ControlAndAltKeys) {
  EXPECT_EQ(keysOf("\x03"), std::vector<std::string>{"\x03"});  // Ctrl+C is a key
  EXPECT_EQ(keysOf("\x01\x1a"), (std::vector<std::string>{"\x01", "\x1a"}));
  EXPECT_EQ(keysOf("\x1b"
                   "a"),
            std::vector<std::string>{ext(30)});  // Alt+A
  EXPECT_EQ(keysOf("\x1bx"), std::vector<std::string>{ext(45)});
  EXPECT_EQ(keysOf("\x1b"
                   "1"),
            std::vector<std::string>{"1"});                     // Alt+digit keeps its digit
  EXPECT_EQ(keysOf("\x1b[Z"), std::vector<std::string>{"\t"});  // Shift+Tab
  EXPECT_EQ(keysOf(std::string(1, '\0')), std::vector<std::string>{ext(3)});
}

TEST(KeyDecoder, Utf8BecomesCodePage437) {
  EXPECT_EQ(keysOf("ä"), std::vector<std::string>{"\x84"});
  EXPECT_EQ(keysOf("É"), std::vector<std::string>{"\x90"});
  EXPECT_EQ(keysOf("€x"), std::vector<std::string>{"x"});  // no such character on the screen
  EXPECT_EQ(keysOf("\xff"
                   "y"),
            std::vector<std::string>{"y"});
}

TEST(KeyDecoder, UnknownSequencesAreSwallowedWhole) {
  EXPECT_EQ(keysOf("\x1b[99~q"), std::vector<std::string>{"q"});
  EXPECT_EQ(keysOf("\x1b[<0;12;5Mq"), std::vector<std::string>{"q"});  // a mouse report
  EXPECT_EQ(keysOf("\x1b[?1;2cq"), std::vector<std::string>{"q"});
  EXPECT_EQ(keysOf("\x1b[Iq"), std::vector<std::string>{"q"});  // focus in
  EXPECT_EQ(keysOf("\x1b[1 qq"), std::vector<std::string>{"q"});
  EXPECT_EQ(keysOf("\x1bOzq"), std::vector<std::string>{"q"});
  EXPECT_TRUE(keysOf("\x1b[1;5").empty());  // cut short, then timed out
}

TEST(KeyDecoder, TypedAheadKeysComeOutInOrder) {
  EXPECT_EQ(keysOf("ab\x1b[Ac\r"), (std::vector<std::string>{"a", "b", ext(72), "c", "\r"}));
  EXPECT_EQ(keysOf("\x1b\x1b"), (std::vector<std::string>{"\x1b", "\x1b"}));
}

TEST(KeyDecoder, LoneEscWaitsForTheTimeout) {
  KeyDecoder decoder;
  std::deque<KeyEvent> events;
  decodeKeys(decoder, "\x1b", 100, events);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(decoderDeadline(decoder), 100 + escapeTimeoutMs);
  decodeKeys(decoder, "", 100 + escapeTimeoutMs - 1, events);
  EXPECT_TRUE(events.empty());
  decodeKeys(decoder, "", 100 + escapeTimeoutMs, events);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(translateKeyEvent(events[0]), "\x1b");
  EXPECT_EQ(decoderDeadline(decoder), -1);
}

TEST(KeyDecoder, SequenceSplitAcrossReadsIsJoined) {
  KeyDecoder decoder;
  std::deque<KeyEvent> events;
  decodeKeys(decoder, "\x1b", 100, events);
  decodeKeys(decoder, "[", 102, events);
  decodeKeys(decoder, "2", 103, events);
  EXPECT_TRUE(events.empty());
  decodeKeys(decoder, "~", 104, events);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(translateKeyEvent(events[0]), ext(82));

  decodeKeys(decoder, "\xc3", 200, events);  // half a UTF-8 character
  decodeKeys(decoder, "\xa4", 201, events);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(translateKeyEvent(events[1]), "\x84");
}

TEST(KeyDecoder, ScanCodesFollowTheUsLayout) {
  KeyDecoder decoder;
  std::deque<KeyEvent> events;
  decodeKeys(decoder, "aQ!\r", 0, events);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].scanCode, 30);
  EXPECT_EQ(events[1].scanCode, 16);
  EXPECT_TRUE(events[1].controlState & controlStateFlag::shift);
  EXPECT_EQ(events[2].scanCode, 2);
  EXPECT_EQ(events[3].scanCode, 28);
}

}  // namespace
