#include "key_decoder.h"

namespace {

constexpr unsigned char escape = 0x1b;
constexpr unsigned char ctrlC = 0x03;
constexpr unsigned char bell = 0x07;

DecodedByte nothing() {
  return DecodedByte{};
}

}  // namespace

DecodedByte decodeByte(KeyDecoder& decoder, unsigned char byte) {
  switch (decoder.state) {
    case DecoderState::ground:
      if (byte == escape) {
        decoder.state = DecoderState::escape;
        return nothing();
      }
      if (byte == ctrlC) return DecodedByte{Decoded::interrupt, 0};
      return DecodedByte{Decoded::key, static_cast<char>(byte)};

    case DecoderState::escape:
      switch (byte) {
        case '[':
          decoder.state = DecoderState::csi;
          decoder.csiStarted = false;
          return nothing();
        case 'O':
          decoder.state = DecoderState::ss3;
          return nothing();
        case ']':
        case 'P':
        case '_':
        case '^':
        case 'X':
          decoder.state = DecoderState::string;
          return nothing();
        case escape:
          return nothing();  // the first Esc was alone; this one may begin a sequence
        case ctrlC:
          decoder.state = DecoderState::ground;
          return DecodedByte{Decoded::interrupt, 0};
        default:
          // Alt with a key, or a lone Esc and a key typed at once: not an answer.
          decoder.state = DecoderState::ground;
          return nothing();
      }

    case DecoderState::csi:
      if (byte == '[' && !decoder.csiStarted) {
        decoder.state = DecoderState::csiBracket;
        return nothing();
      }
      if (byte == 'M' && !decoder.csiStarted) {
        decoder.state = DecoderState::mouse;
        decoder.pending = 3;
        return nothing();
      }
      if (byte >= 0x20 && byte <= 0x3f) {
        decoder.csiStarted = true;
        return nothing();
      }
      if (byte >= 0x40 && byte <= 0x7e) {
        decoder.state = DecoderState::ground;
        return nothing();
      }
      break;

    case DecoderState::csiBracket:
      decoder.state = DecoderState::ground;
      return nothing();

    case DecoderState::ss3:
      // "ESC O A"; some terminals put modifiers first: "ESC O 1 ; 5 P".
      if (byte >= 0x20 && byte <= 0x3f) return nothing();
      if (byte >= 0x40 && byte <= 0x7e) {
        decoder.state = DecoderState::ground;
        return nothing();
      }
      break;

    case DecoderState::string:
      if (byte == bell) {
        decoder.state = DecoderState::ground;
      } else if (byte == escape) {
        decoder.state = DecoderState::stringEscape;
      }
      return nothing();

    case DecoderState::stringEscape:
      // ESC \ ends the string; any other ESC ends it too, and begins anew.
      if (byte == '\\') {
        decoder.state = DecoderState::ground;
        return nothing();
      }
      decoder.state = DecoderState::escape;
      return decodeByte(decoder, byte);

    case DecoderState::mouse:
      if (--decoder.pending == 0) decoder.state = DecoderState::ground;
      return nothing();
  }
  // A byte with no place in the sequence (CAN, SUB, any other control) ends
  // it and goes with it; but Ctrl+C is still Ctrl+C, and Esc begins another.
  decoder.state = DecoderState::ground;
  if (byte == ctrlC) return DecodedByte{Decoded::interrupt, 0};
  if (byte == escape) decoder.state = DecoderState::escape;
  return nothing();
}

bool inSequence(const KeyDecoder& decoder) {
  return decoder.state != DecoderState::ground;
}

void giveUpSequence(KeyDecoder& decoder) {
  decoder = KeyDecoder{};
}
