#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "console/key_event.h"

// Turns the bytes a terminal sends for key presses (UTF-8 characters, control bytes, the CSI and
// SS3 sequences of xterm, VTE, tmux, screen and the Linux console) into console key events,
// with the scan code of the key's position on the US layout and the modifier state.

// How long a lone Esc waits for the rest of a sequence before it counts as the Esc key.
constexpr int64_t escapeTimeoutMs = 25;

struct KeyDecoder {
  std::string pending;         // bytes not yet decoded: an incomplete sequence or character
  int64_t pendingSinceMs = 0;  // when the oldest of them arrived
};

// Adds newly read bytes (which arrived at `nowMs`) and decodes what is complete into `events`.
// A lone Esc, or a sequence cut short, is decided once `escapeTimeoutMs` have passed.
void decodeKeys(KeyDecoder& decoder, std::string_view bytes, int64_t nowMs,
                std::deque<KeyEvent>& events);

// The time at which the pending bytes must be decided without more input; -1 when none wait.
int64_t decoderDeadline(const KeyDecoder& decoder);

// Drops everything pending.
void resetDecoder(KeyDecoder& decoder);
