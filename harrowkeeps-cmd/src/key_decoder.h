// Keys, not bytes: a terminal sends an arrow as "ESC [ A", its replies to
// queries as OSC or DCS strings, mouse reports as "ESC [ M" and three
// bytes. Each of those is taken whole and is no key; only what stands
// alone is a key. Fed one byte at a time, so it works on any input.
#pragma once

enum class DecoderState {
  ground,
  escape,        // after ESC
  csi,           // after ESC [
  csiBracket,    // after ESC [ [ (the Linux console's F1 to F5)
  ss3,           // after ESC O
  string,        // OSC, DCS, APC, PM, SOS: up to BEL or ESC backslash
  stringEscape,  // ESC inside such a string
  mouse,         // the three bytes after ESC [ M
};

struct KeyDecoder {
  DecoderState state = DecoderState::ground;
  int pending = 0;          // mouse bytes still to come
  bool csiStarted = false;  // a parameter or intermediate byte came after ESC [
};

enum class Decoded { nothing, key, interrupt };

struct DecodedByte {
  Decoded what = Decoded::nothing;
  char key = 0;
};

DecodedByte decodeByte(KeyDecoder& decoder, unsigned char byte);

// Whether the decoder is in the middle of a sequence, waiting for its rest.
bool inSequence(const KeyDecoder& decoder);

// No more bytes came in time: whatever was begun (a lone Esc, a cut-off
// sequence) is dropped.
void giveUpSequence(KeyDecoder& decoder);
