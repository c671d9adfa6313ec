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
      {"F1 SS3", "\x1bOP", ext(59)},       {"F4 SS3", "\x1bOS", ext(62)},
      {"F1 11~", "\x1b[11~", ext(59)},     {"F5 15~", "\x1b[15~", ext(63)},
      {"F6 17~", "\x1b[17~", ext(64)},     {"F10 21~", "\x1b[21~", ext(68)},
      {"F11", "\x1b[23~", ext(87)},        {"F12", "\x1b[24~", ext(88)},
      {"F1 Linux", "\x1b[[A", ext(59)},    {"F5 Linux", "\x1b[[E", ext(63)},
      {"Shift+F1", "\x1b[1;2P", ext(59)},  {"Ctrl+F5", "\x1b[15;5~", ext(63)},
      {"Ctrl+F1 SS3", "\x1bO5P", ext(59)}, {"Ctrl+F2 SS3", "\x1bO1;5Q", ext(60)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(keysOf(row.bytes), std::vector<std::string>{row.key}) << row.name;
  }
}

TEST(KeyDecoder, ModifiersOnExtendedKeysAreDropped) {
  EXPECT_EQ(keysOf("\x1b[1;5C"), std::vector<std::string>{ext(77)});  // Ctrl+Right
  EXPECT_EQ(keysOf("\x1b[1;2A"), std::vector<std::string>{ext(72)});
  EXPECT_EQ(keysOf("\x1b[3;3~"), std::vector<std::string>{ext(83)});
  EXPECT_EQ(keysOf("\x1bO1;5D"), std::vector<std::string>{ext(75)});   // Ctrl+Left, SS3 form
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
  // The glyphs of the control bytes are typed as no character: ☺ is no Ctrl+A in a field.
  EXPECT_EQ(keysOf("☺⌂x"), std::vector<std::string>{"x"});
  EXPECT_EQ(keysOf("\xff"
                   "y"),
            std::vector<std::string>{"y"});
}

TEST(KeyDecoder, UnknownSequencesAreSwallowedWhole) {
  EXPECT_EQ(keysOf("\x1b[99~q"), std::vector<std::string>{"q"});
  EXPECT_EQ(keysOf("\x1b[1 qq"), std::vector<std::string>{"q"});
  EXPECT_EQ(keysOf("\x1bOzq"), std::vector<std::string>{"q"});
  EXPECT_TRUE(keysOf("\x1b[1;5").empty());  // cut short, then timed out
}

// Each row: what the terminal sent between the keys "a" and "z", which must come out alone.
struct Report {
  const char* name;
  std::string bytes;
};

void expectOnlyTheKeysAround(const Report& report) {
  EXPECT_EQ(keysOf("a" + report.bytes + "z"), (std::vector<std::string>{"a", "z"})) << report.name;
}

TEST(KeyDecoder, TerminalStringsAreSwallowedWhole) {
  const Report rows[] = {
      {"OSC ended by BEL", "\x1b]11;rgb:0000/0000/0000\x07"},
      {"OSC ended by ST", "\x1b]10;rgb:ffff/ffff/ffff\x1b\\"},
      {"OSC title with UTF-8", "\x1b]l\xc3\x9c\xc5\x93 Title \xe2\x95\x90\x1b\\"},
      {"DCS", "\x1bP1$r0;1m\x1b\\"},
      {"DCS XTVERSION", "\x1bP>|tmux 3.3a\x1b\\"},
      {"APC", "\x1b_Gi=1;OK\x1b\\"},
      {"PM", "\x1b^privacy\x1b\\"},
      {"SOS", "\x1bXstart of string\x07"},
      {"empty OSC", "\x1b]\x07"},
      {"8-bit OSC and ST",
       "\x9d"
       "11;rgb:0/0/0\x9c"},
      {"8-bit DCS ended by BEL",
       "\x90"
       "1$r0m\x07"},
      {"8-bit APC, PM, SOS",
       "\x9f"
       "x\x9c\x9e"
       "y\x9c\x98"
       "w\x9c"},
      {"UTF-8-encoded OSC and ST",
       "\xc2\x9d"
       "0;t\xc2\x9c"},
      {"cancelled by CAN", "\x1b]0;half\x18"},
      {"cancelled by SUB", "\x1bPhalf\x1a"},
      {"a stray ST", "\x9c"},
      {"other 8-bit controls", "\x85\xc2\x84"},
  };
  for (const Report& row : rows) expectOnlyTheKeysAround(row);
  // An Esc that is no ST ends the string and begins the next sequence.
  EXPECT_EQ(keysOf("\x1b]0;cut\x1b[Az"), (std::vector<std::string>{ext(72), "z"}));
}

TEST(KeyDecoder, MouseFocusAndDeviceReportsAreNoKeys) {
  const Report rows[] = {
      {"X10 press", "\x1b[M !!"},
      {"X10 at column 200 and row 100", "\x1b[M \xe8\x84"},
      {"X10 release with letters", "\x1b[M#Mm"},
      {"X10 8-bit CSI", "\x9bM !!"},
      {"SGR press", "\x1b[<0;12;5M"},
      {"SGR release", "\x1b[<0;12;5m"},
      {"SGR wheel", "\x1b[<65;200;100M"},
      {"urxvt mouse", "\x1b[32;12;5M"},
      {"focus in", "\x1b[I"},
      {"focus out", "\x1b[O"},
      {"device attributes", "\x1b[?64;1;2;6;9;15;22c"},
      {"secondary attributes", "\x1b[>41;380;0c"},
      {"mode report", "\x1b[?2004;1$y"},
  };
  for (const Report& row : rows) expectOnlyTheKeysAround(row);
}

TEST(KeyDecoder, PastedTextComesThroughAsKeysWithoutItsMarkers) {
  EXPECT_EQ(keysOf("\x1b[200~C:\\B\xc3\xbc\x1b[201~\r"),
            (std::vector<std::string>{"C", ":", "\\", "B", "\x81", "\r"}));
  EXPECT_TRUE(keysOf("\x1b[200~\x1b[201~").empty());
}

TEST(KeyDecoder, EightBitSequencesAreKeysToo) {
  const Row rows[] = {
      {"CSI Up",
       "\x9b"
       "A",
       ext(72)},
      {"CSI Del",
       "\x9b"
       "3~",
       ext(83)},
      {"UTF-8 CSI Left",
       "\xc2\x9b"
       "D",
       ext(75)},
      {"SS3 F1", "\x8fP", ext(59)},
      {"UTF-8 SS3 End",
       "\xc2\x8f"
       "F",
       ext(79)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(keysOf(row.bytes), std::vector<std::string>{row.key}) << row.name;
  }
}

// Feeds `bytes` cut at every position into two reads 1 ms apart, then lets every time-out pass.
void expectSameKeysAtEveryCut(const std::string& bytes, const std::vector<std::string>& keys) {
  for (size_t cut = 1; cut < bytes.size(); ++cut) {
    KeyDecoder decoder;
    std::deque<KeyEvent> events;
    decodeKeys(decoder, bytes.substr(0, cut), 1000, events);
    decodeKeys(decoder, bytes.substr(cut), 1001, events);
    decodeKeys(decoder, "", 1001 + escapeTimeoutMs, events);
    std::vector<std::string> got;
    for (const KeyEvent& e : events) {
      if (auto key = translateKeyEvent(e)) got.push_back(*key);
    }
    EXPECT_EQ(got, keys) << "cut after byte " << cut;
  }
}

TEST(KeyDecoder, ReportsSplitAcrossReadsAreStillSwallowed) {
  expectSameKeysAtEveryCut("a\x1b]11;rgb:0000/0000/0000\x1b\\z", {"a", "z"});
  expectSameKeysAtEveryCut("a\x1bP>|xterm(380)\x07z", {"a", "z"});
  // The 0x9C inside "Ü" must not end the string when the character is cut in two.
  expectSameKeysAtEveryCut("a\x1b]l\xc3\x9cx\x1b\\z", {"a", "z"});
  expectSameKeysAtEveryCut(
      "a\xc2\x9d"
      "0;t\xc2\x9cz",
      {"a", "z"});
  expectSameKeysAtEveryCut("a\x1b[M \xe8\x84z", {"a", "z"});
  expectSameKeysAtEveryCut("a\x1b[<0;12;5mz", {"a", "z"});
  expectSameKeysAtEveryCut("\x1b[200~ab\x1b[201~", {"a", "b"});
  expectSameKeysAtEveryCut(
      "\xc2\x9b"
      "A\x1b[3~",
      {ext(72), ext(83)});
}

TEST(KeyDecoder, KeysSplitAcrossReadsComeOutTheSame) {
  expectSameKeysAtEveryCut("\x1b\x1b[B\x1b", {ext(80), "\x1b"});  // Alt+Down, then Esc
  expectSameKeysAtEveryCut("\x1b[1;5C\xc3\xa4\x1bOP", {ext(77), "\x84", ext(59)});
}

TEST(KeyDecoder, AStringCutShortStopsSwallowingAfterAPause) {
  KeyDecoder decoder;
  std::deque<KeyEvent> events;
  decodeKeys(decoder, "\x1b]11;rgb:00", 100, events);
  decodeKeys(decoder, "00/0000", 100 + reportTimeoutMs - 1, events);  // still on its way
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(decoderDeadline(decoder), -1);  // nothing to decide: no wake-up needed
  const int64_t later = 100 + 2 * reportTimeoutMs;
  decodeKeys(decoder, "q", later, events);  // typed well after the string stopped
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(translateKeyEvent(events[0]), "q");

  // An Esc left hanging at the end of a string ends it when nothing follows in time.
  events.clear();
  decodeKeys(decoder, "\x1b]0;t\x1b", 5000, events);
  EXPECT_EQ(decoderDeadline(decoder), 5000 + reportTimeoutMs);
  decodeKeys(decoder, "", 5000 + reportTimeoutMs, events);
  decodeKeys(decoder, "w", 5001 + reportTimeoutMs, events);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(translateKeyEvent(events[0]), "w");
}

// A slow link cuts a report into reads far apart. Once a read has begun what can only be a
// report, its rest is waited for longer than for a key's: it never comes out as keys.
TEST(KeyDecoder, TheRestOfAReportThatComesLateIsNoKey) {
  const struct {
    const char* name;
    std::string first;
    std::string rest;
  } rows[] = {
      {"SGR mouse", "a\x1b[<0;12;", "5Mz"},
      {"SGR mouse, the marker alone", "a\x1b[<", "0;1;1mz"},
      {"X10 mouse", "a\x1b[M", " !!z"},
      {"X10 mouse, one byte come", "a\x1b[M ", "!!z"},
      {"mode report", "a\x1b[?2004;", "2$yz"},
      {"ANSI mode report", "a\x1b[4;1$", "yz"},
      {"secondary attributes", "a\x1b[>41;", "380;0cz"},
      {"8-bit CSI mouse", "a\x9b<0;1;", "1Mz"},
      {"UTF-8 8-bit CSI mouse", "a\xc2\x9b<", "0;1;1Mz"},
      {"a string cut inside its ST", "a\x1b]11;rgb:0/0/0\x1b", "\\z"},
      {"a string cut inside a character", "a\x1b]l\xc3", "\x9cx\x1b\\z"},
      {"a string's body", "a\x1bP>|xterm", "(380)\x1b\\z"},
  };
  const int64_t late = 1000 + reportTimeoutMs - 1;
  for (const auto& row : rows) {
    KeyDecoder decoder;
    std::deque<KeyEvent> events;
    decodeKeys(decoder, row.first, 1000, events);
    const int64_t deadline = decoderDeadline(decoder);  // none while a string's body runs
    EXPECT_TRUE(deadline == -1 || deadline == 1000 + reportTimeoutMs) << row.name;
    decodeKeys(decoder, "", late, events);  // the host's wake-up at the Esc's time decides nothing
    decodeKeys(decoder, row.rest, late, events);
    std::vector<std::string> keys;
    for (const KeyEvent& e : events) keys.push_back(translateKeyEvent(e).value_or("?"));
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "z"})) << row.name;
  }

  // A key's sequence cut short, and a report never finished, are given up in their own time;
  // what is typed afterwards is a key again.
  KeyDecoder decoder;
  std::deque<KeyEvent> events;
  decodeKeys(decoder, "\x1b[1;", 1000, events);
  EXPECT_EQ(decoderDeadline(decoder), 1000 + escapeTimeoutMs);
  decodeKeys(decoder, "", 1000 + escapeTimeoutMs, events);
  decodeKeys(decoder, "\x1b[<0;1", 2000, events);
  decodeKeys(decoder, "", 2000 + reportTimeoutMs, events);
  EXPECT_EQ(decoderDeadline(decoder), -1);
  decodeKeys(decoder, "q", 2001 + reportTimeoutMs, events);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(translateKeyEvent(events[0]), "q");
}

TEST(KeyDecoder, AStringIntroducerAloneIsAltWithItsKey) {
  EXPECT_EQ(keysOf("\x1b]"), std::vector<std::string>{"]"});      // Alt+] keeps its character
  EXPECT_EQ(keysOf("\x1bP"), std::vector<std::string>{ext(25)});  // Alt+Shift+P
  EXPECT_EQ(keysOf("\x1bX"), std::vector<std::string>{ext(45)});
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

TEST(KeyDecoder, AnEscAfterOtherKeysWaitsItsOwnTime) {
  KeyDecoder decoder;
  std::deque<KeyEvent> events;
  decodeKeys(decoder, "\x1b", 100, events);
  // The rest of the arrow comes late, with the next Esc right behind it.
  decodeKeys(decoder, "[A\x1b", 100 + escapeTimeoutMs + 5, events);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(translateKeyEvent(events[0]), ext(72));
  EXPECT_EQ(decoderDeadline(decoder), 100 + 2 * escapeTimeoutMs + 5);
  decodeKeys(decoder, "[B", 100 + escapeTimeoutMs + 10, events);  // still an arrow
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(translateKeyEvent(events[1]), ext(80));
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
