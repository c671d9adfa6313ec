#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "console/key_event.h"

// Turns the bytes a terminal sends for key presses (UTF-8 characters, control bytes, the CSI and
// SS3 sequences of xterm, VTE, tmux, screen and the Linux console) into console key events,
// with the scan code of the key's position on the US layout and the modifier state.
//
// What a terminal sends that is no key press never becomes a key: its replies and reports
// (OSC, DCS, APC, PM and SOS strings up to BEL or ST, device and cursor reports), mouse reports
// (X10 and SGR), focus in and out, and the markers around pasted text, whose characters come
// through as keys. The 8-bit forms of these introducers count as well, raw or UTF-8-encoded.

// How long a lone Esc, or a key's sequence begun, waits for the rest before the Esc counts as
// the Esc key (or the sequence as cut short).
constexpr int64_t escapeTimeoutMs = 25;

// How long the rest of a report may take once what has come can only be one (a string, a mouse
// report, a reply with a private parameter or an intermediate byte), and how long the terminal
// may pause inside one of its strings: a slow link may cut a report anywhere, and its rest
// must not be read as keys. After that the report counts as cut short, and what arrives next
// is read as keys again.
constexpr int64_t reportTimeoutMs = 500;

struct KeyDecoder {
  std::string pending;           // bytes not yet decoded: an incomplete sequence or character
  int64_t pendingSinceMs = 0;    // when the oldest of them arrived
  bool pendingIsReport = false;  // they can only be the beginning of a report
  bool inString = false;         // within a terminal's string, whose bytes are dropped as they come
  int64_t lastInputMs = 0;       // when bytes last arrived
};

// Adds newly read bytes (which arrived at `nowMs`, never earlier than the previous call's) and
// decodes what is complete into `events`. Called with no bytes it decides what has waited long
// enough: a lone Esc, or a sequence cut short, is decided once `escapeTimeoutMs` have passed,
// a report cut short once `reportTimeoutMs` have.
void decodeKeys(KeyDecoder& decoder, std::string_view bytes, int64_t nowMs,
                std::deque<KeyEvent>& events);

// The time at which the pending bytes must be decided without more input; -1 when none wait.
int64_t decoderDeadline(const KeyDecoder& decoder);

// Drops everything pending and any string under way.
void resetDecoder(KeyDecoder& decoder);
