#include "console/posix/key_decoder.h"

#include "console/cp437.h"
#include "console/us_layout.h"

namespace {

namespace flag = controlStateFlag;

KeyEvent keyWithoutCharacter(uint8_t code, uint16_t state = 0) {
  KeyEvent e;
  e.scanCode = code;
  e.controlState = static_cast<uint16_t>(state | flag::enhancedKey);
  return e;
}

KeyEvent keyWithCharacter(uint8_t character, uint8_t code, uint16_t state = 0) {
  KeyEvent e;
  e.character = character;
  e.scanCode = code;
  e.controlState = state;
  return e;
}

// A character typed on its own: the key that gives it, and the modifiers that must be held.
bool characterEvent(char32_t c, uint16_t extraState, KeyEvent& event) {
  if (c == 0x7F || c == 0x08) {
    event = keyWithCharacter(8, scanCode::backspace, extraState);
    return true;
  }
  if (c == 0x09) {
    event = keyWithCharacter(9, scanCode::tab, extraState);
    return true;
  }
  if (c == 0x0D) {
    event = keyWithCharacter(13, scanCode::enter, extraState);
    return true;
  }
  if (c == 0x1B) {
    event = keyWithCharacter(27, scanCode::esc, extraState);
    return true;
  }
  const uint16_t ctrl = static_cast<uint16_t>(extraState | flag::leftCtrl);
  if (c == 0x00) {  // Ctrl+2 (Ctrl+@, Ctrl+Space): the key without a character
    event = keyWithCharacter(0, 3, ctrl);
    return true;
  }
  if (c >= 1 && c <= 26) {
    event = keyWithCharacter(static_cast<uint8_t>(c),
                             usLayoutPosition(static_cast<uint8_t>('a' + c - 1)).scanCode, ctrl);
    return true;
  }
  if (c >= 28 && c <= 31) {
    static constexpr uint8_t keys[] = {43, 27, 7, 12};  // Ctrl with \ ] 6 -
    event = keyWithCharacter(static_cast<uint8_t>(c), keys[c - 28], ctrl);
    return true;
  }
  if (c < 0x80) {
    const KeyPosition at = usLayoutPosition(static_cast<uint8_t>(c));
    event = keyWithCharacter(static_cast<uint8_t>(c), at.scanCode,
                             static_cast<uint16_t>(extraState | (at.shift ? flag::shift : 0)));
    return true;
  }
  const int byte = unicodeTextToCp437(c);
  if (byte < 0) return false;  // no such character on this screen: the key is dropped
  event = keyWithCharacter(static_cast<uint8_t>(byte), 0, extraState);
  return true;
}

// Modifier parameter of xterm's "CSI 1;m X" forms: m - 1 has Shift 1, Alt 2, Ctrl 4.
uint16_t modifierState(int m) {
  if (m < 2) return 0;
  const int bits = m - 1;
  uint16_t state = 0;
  if (bits & 1) state |= flag::shift;
  if (bits & 2) state |= flag::leftAlt;
  if (bits & 4) state |= flag::leftCtrl;
  return state;
}

uint8_t tildeKey(int n) {
  switch (n) {
    case 1:
    case 7:
      return scanCode::home;
    case 2:
      return scanCode::insert;
    case 3:
      return scanCode::del;
    case 4:
    case 8:
      return scanCode::end;
    case 5:
      return scanCode::pageUp;
    case 6:
      return scanCode::pageDown;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return static_cast<uint8_t>(scanCode::f1 + n - 11);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return static_cast<uint8_t>(scanCode::f1 + 5 + n - 17);
    case 23:
      return scanCode::f11;
    case 24:
      return scanCode::f12;
    default:
      return 0;
  }
}

// Final bytes shared by the CSI and SS3 forms.
uint8_t letterKey(char final) {
  switch (final) {
    case 'A':
      return scanCode::up;
    case 'B':
      return scanCode::down;
    case 'C':
      return scanCode::right;
    case 'D':
      return scanCode::left;
    case 'H':
      return scanCode::home;
    case 'F':
      return scanCode::end;
    case 'E':
    case 'G':
      return 76;  // the keypad's middle key
    case 'P':
      return scanCode::f1;
    case 'Q':
      return scanCode::f1 + 1;
    case 'R':
      return scanCode::f1 + 2;
    case 'S':
      return scanCode::f1 + 3;
    default:
      return 0;
  }
}

enum class Parse { complete, incomplete, invalid };

struct Sequence {
  size_t length = 0;
  bool hasKey = false;
  KeyEvent event;
};

// A CSI sequence starting at `s[0]` == '['. Unknown but well-formed sequences are complete
// without a key, so they are swallowed whole.
Parse parseCsi(std::string_view s, uint16_t extraState, Sequence& out) {
  size_t i = 1;
  if (i < s.size() && s[i] == '[') {  // the Linux console's F1-F5: ESC [ [ A-E
    if (i + 1 >= s.size()) return Parse::incomplete;
    out.length = i + 2;
    const char f = s[i + 1];
    if (f >= 'A' && f <= 'E') {
      out.hasKey = true;
      out.event = keyWithoutCharacter(static_cast<uint8_t>(scanCode::f1 + (f - 'A')), extraState);
    }
    return Parse::complete;
  }
  const size_t paramsStart = i;
  while (i < s.size() && s[i] >= 0x30 && s[i] <= 0x3F) ++i;
  const size_t paramsEnd = i;
  while (i < s.size() && s[i] >= 0x20 && s[i] <= 0x2F) ++i;
  const size_t intermediatesEnd = i;
  if (i >= s.size()) return Parse::incomplete;
  const char final = s[i];
  if (final < 0x40 || final > 0x7E) return Parse::invalid;
  out.length = i + 1;

  const std::string_view params = s.substr(paramsStart, paramsEnd - paramsStart);
  if (final == 'M' && params.empty() && intermediatesEnd == paramsEnd) {
    // An X10 mouse report: the button and the position follow as three bytes of any value.
    if (s.size() < out.length + 3) return Parse::incomplete;
    out.length += 3;
    return Parse::complete;
  }
  if (intermediatesEnd != paramsEnd) return Parse::complete;
  if (!params.empty() && (params[0] < '0' || params[0] > ';')) return Parse::complete;  // private
  int numbers[2] = {-1, -1};
  int index = 0;
  for (char c : params) {
    if (c == ';') {
      if (++index > 1) break;
      continue;
    }
    if (c < '0' || c > '9') return Parse::complete;
    int& n = numbers[index];
    n = (n < 0 ? 0 : n) * 10 + (c - '0');
    if (n > 9999) return Parse::complete;
  }
  const uint16_t state = static_cast<uint16_t>(extraState | modifierState(numbers[1]));
  uint8_t code = 0;
  if (final == '~') {
    code = tildeKey(numbers[0]);
  } else if (final == 'Z') {
    out.hasKey = true;
    out.event = keyWithCharacter(9, scanCode::tab, static_cast<uint16_t>(state | flag::shift));
    return Parse::complete;
  } else if (numbers[0] <= 1) {
    code = letterKey(final);
  }
  if (code != 0) {
    out.hasKey = true;
    out.event = keyWithoutCharacter(code, state);
  }
  return Parse::complete;
}

// An SS3 sequence starting at `s[0]` == 'O'.
Parse parseSs3(std::string_view s, uint16_t extraState, Sequence& out) {
  // Some terminals put the modifiers first, as the last number: ESC O 5 D, ESC O 1 ; 5 P.
  size_t i = 1;
  int modifiers = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= ';'; ++i) {
    if (s[i] == ';') modifiers = 0;
    if (s[i] >= '0' && s[i] <= '9' && modifiers < 1000) modifiers = modifiers * 10 + (s[i] - '0');
  }
  if (i >= s.size()) return Parse::incomplete;
  const char final = s[i];
  if (i > 1 && (final < 0x40 || final > 0x7E)) return Parse::invalid;
  out.length = i + 1;
  extraState = static_cast<uint16_t>(extraState | modifierState(modifiers));
  if (const uint8_t code = letterKey(final); code != 0 && code != 76) {
    out.hasKey = true;
    out.event = keyWithoutCharacter(code, extraState);
  } else if (final == 'M') {
    out.hasKey = true;
    out.event = keyWithCharacter(13, scanCode::enter, extraState);
  } else if (final >= 'j' && final <= 'y') {  // the keypad in application mode
    static constexpr char keypad[] = "*+,-./0123456789";
    KeyEvent e;
    out.hasKey = characterEvent(static_cast<unsigned char>(keypad[final - 'j']), extraState, e);
    out.event = e;
  }
  return Parse::complete;
}

constexpr uint8_t bel = 0x07;
constexpr uint8_t can = 0x18;
constexpr uint8_t sub = 0x1A;
constexpr uint8_t esc = 0x1B;

// The 8-bit controls a terminal may send instead of Esc and a letter.
constexpr uint8_t dcs8 = 0x90;
constexpr uint8_t sos8 = 0x98;
constexpr uint8_t csi8 = 0x9B;
constexpr uint8_t st8 = 0x9C;
constexpr uint8_t osc8 = 0x9D;
constexpr uint8_t pm8 = 0x9E;
constexpr uint8_t apc8 = 0x9F;
constexpr uint8_t ss38 = 0x8F;

// The letters that follow Esc to begin OSC, DCS, SOS, PM and APC.
bool beginsString(char c) {
  return c == ']' || c == 'P' || c == 'X' || c == '^' || c == '_';
}

bool beginsString8(uint8_t c) {
  return c == osc8 || c == dcs8 || c == sos8 || c == pm8 || c == apc8;
}

// An 8-bit control at the front: a byte that no UTF-8 character begins with, or the same
// control encoded as UTF-8 (C2 80 to C2 9F). Returns how many bytes it takes, 0 when none.
size_t control8(std::string_view s, uint8_t& control) {
  const auto b = static_cast<uint8_t>(s[0]);
  if (b >= 0x80 && b <= 0x9F) {
    control = b;
    return 1;
  }
  if (b == 0xC2 && s.size() >= 2) {
    const auto next = static_cast<uint8_t>(s[1]);
    if (next >= 0x80 && next <= 0x9F) {
      control = next;
      return 2;
    }
  }
  return 0;
}

// Whether `s`, a CSI sequence not yet complete (Esc [, or the 8-bit CSI raw or in UTF-8), can
// only be a terminal's report: a mouse report (X10's CSI M, SGR's CSI <), a reply whose
// parameters begin with a private marker (device attributes, mode reports), or one with an
// intermediate byte. No key's sequence takes these forms.
bool beginsReport(std::string_view s) {
  size_t at = 0;
  if (s.size() >= 2 && static_cast<uint8_t>(s[0]) == esc && s[1] == '[') {
    at = 2;
  } else if (!s.empty() && static_cast<uint8_t>(s[0]) == csi8) {
    at = 1;
  } else if (s.size() >= 2 && static_cast<uint8_t>(s[0]) == 0xC2 &&
             static_cast<uint8_t>(s[1]) == csi8) {
    at = 2;
  } else {
    return false;
  }
  if (at >= s.size()) return false;
  const char first = s[at];
  if (first == '<' || first == '=' || first == '>' || first == '?' || first == 'M') return true;
  for (size_t i = at; i < s.size() && s[i] >= 0x20 && s[i] <= 0x3F; ++i) {
    if (s[i] <= 0x2F) return true;
  }
  return false;
}

enum class StringEnd { ended, open, needMore };

// Passes over the body of a string up to its end: BEL or ST (Esc \, or the 8-bit ST), or CAN
// or SUB, which cancel it. Any other Esc ends it too and begins what follows. The body is read
// as UTF-8 so that a byte 0x9C inside a character (the second of "Ü") ends nothing.
// `used` is what the string took; with `needMore` an Esc or a character is cut short at the end.
StringEnd passString(std::string_view s, size_t& used) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<uint8_t>(s[i]);
    if (b == bel || b == can || b == sub) {
      used = i + 1;
      return StringEnd::ended;
    }
    if (b == esc) {
      if (i + 1 >= s.size()) {
        used = i;
        return StringEnd::needMore;
      }
      used = s[i + 1] == '\\' ? i + 2 : i;
      return StringEnd::ended;
    }
    if (b < 0x80) {
      ++i;
      continue;
    }
    char32_t c;
    const size_t length = decodeUtf8(s.substr(i), c);
    if (length == 0) {
      used = i;
      return StringEnd::needMore;
    }
    if (c == st8 || (length == 1 && b == st8)) {
      used = i + length;
      return StringEnd::ended;
    }
    i += length;
  }
  used = i;
  return StringEnd::open;
}

}  // namespace

void resetDecoder(KeyDecoder& decoder) {
  decoder.pending.clear();
  decoder.pendingIsReport = false;
  decoder.inString = false;
}

int64_t decoderDeadline(const KeyDecoder& decoder) {
  if (decoder.pending.empty()) return -1;
  return decoder.pendingSinceMs + (decoder.pendingIsReport ? reportTimeoutMs : escapeTimeoutMs);
}

void decodeKeys(KeyDecoder& decoder, std::string_view bytes, int64_t nowMs,
                std::deque<KeyEvent>& events) {
  if (decoder.inString && !bytes.empty() && nowMs - decoder.lastInputMs >= reportTimeoutMs) {
    // The rest of the string never came: what arrives now is typed afresh.
    decoder.inString = false;
    decoder.pending.clear();
  }
  if (!bytes.empty()) decoder.lastInputMs = nowMs;
  const size_t earlier = decoder.pending.size();  // the part that arrived before now
  decoder.pending.append(bytes);
  std::string_view s = decoder.pending;
  const size_t received = s.size();
  // Whether what is left from here on can only be the beginning of a report: an Esc or a
  // character cut short inside a string, or a report's CSI sequence.
  const auto reportBegun = [&] { return decoder.inString || beginsReport(s); };
  // Whether what is left from here on has waited its time: only bytes that were already
  // pending can have, the ones arriving now have just begun.
  const auto waitedOut = [&] {
    const int64_t timeout = reportBegun() ? reportTimeoutMs : escapeTimeoutMs;
    return received - s.size() < earlier && nowMs - decoder.pendingSinceMs >= timeout;
  };
  // A CSI or SS3 sequence whose introducer takes the bytes up to s[at]. False when it has to
  // wait for more bytes.
  const auto takeSequence = [&](size_t at, bool csi, uint16_t alt) {
    Sequence seq;
    const std::string_view rest = s.substr(at);
    const Parse result = csi ? parseCsi(rest, alt, seq) : parseSs3(rest, alt, seq);
    if (result == Parse::incomplete) {
      if (!waitedOut()) return false;
      s = {};  // cut short for good: swallowed, never shown as stray characters
    } else if (result == Parse::invalid) {
      s.remove_prefix(at + 1);  // drop the introducer; the rest is decoded afresh
    } else {
      if (seq.hasKey) events.push_back(seq.event);
      s.remove_prefix(at + seq.length);
    }
    return true;
  };

  while (!s.empty()) {
    if (decoder.inString) {
      size_t used = 0;
      const StringEnd end = passString(s, used);
      s.remove_prefix(used);
      if (end == StringEnd::ended) {
        decoder.inString = false;
      } else if (end == StringEnd::needMore) {
        if (!waitedOut()) break;
        // Never completed: dropped, and an Esc left hanging ends the string with it.
        if (s[0] == esc) decoder.inString = false;
        s = {};
      }
      continue;
    }
    // Esc, and sequences that Esc begins; an Esc before another sequence is Alt with its key.
    if (s[0] == esc) {
      if (s.size() == 1) {
        if (!waitedOut()) break;
        events.push_back(keyWithCharacter(27, scanCode::esc));
        s.remove_prefix(1);
        continue;
      }
      size_t start = 1;
      uint16_t alt = 0;
      // Esc Esc may be Alt with a key whose sequence is still on its way.
      if (s[1] == esc && s.size() == 2 && !waitedOut()) break;
      if (s[1] == esc && s.size() > 2 && (s[2] == '[' || s[2] == 'O')) {
        start = 2;
        alt = flag::leftAlt;
      }
      if (s[start] == '[' || s[start] == 'O') {
        if (!takeSequence(start, s[start] == '[', alt)) break;
        continue;
      }
      if (beginsString(s[1])) {
        if (s.size() == 2) {
          // Nothing more in time: Alt with that key (Alt+], Alt+Shift+P, ...), not a string.
          if (!waitedOut()) break;
          KeyEvent e;
          if (characterEvent(static_cast<uint8_t>(s[1]), flag::leftAlt, e)) events.push_back(e);
          s.remove_prefix(2);
          continue;
        }
        decoder.inString = true;
        s.remove_prefix(2);
        continue;
      }
      if (s[1] == esc) {  // Esc pressed twice, or Alt+Esc: the first is the Esc key
        events.push_back(keyWithCharacter(27, scanCode::esc));
        s.remove_prefix(1);
        continue;
      }
      char32_t c;
      const size_t used = decodeUtf8(s.substr(1), c);
      if (used == 0) {
        if (!waitedOut()) break;
        s = {};
        break;
      }
      KeyEvent e;
      if (characterEvent(c, flag::leftAlt, e)) events.push_back(e);
      s.remove_prefix(1 + used);
      continue;
    }
    uint8_t control = 0;
    if (const size_t length = control8(s, control); length != 0) {
      if (control == csi8 || control == ss38) {
        if (!takeSequence(length - 1, control == csi8, 0)) break;
      } else {
        decoder.inString = beginsString8(control);
        s.remove_prefix(length);  // any other control, a stray ST among them, is no key
      }
      continue;
    }
    char32_t c;
    const size_t used = decodeUtf8(s, c);
    if (used == 0) {
      if (!waitedOut()) break;
      s = {};
      break;
    }
    KeyEvent e;
    if (characterEvent(c, 0, e)) events.push_back(e);
    s.remove_prefix(used);
  }
  // The time of what is left: unchanged while it began among the earlier bytes.
  if (s.size() != 0 && received - s.size() >= earlier) decoder.pendingSinceMs = nowMs;
  decoder.pendingIsReport = !s.empty() && reportBegun();
  decoder.pending.erase(0, received - s.size());
}
