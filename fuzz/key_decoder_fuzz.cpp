// libFuzzer target: any bytes a terminal could send, through the key decoder and the key
// translation. The promises: nothing crashes; every key is one byte, or two bytes of which the
// first is 0; and how the bytes are cut into reads changes nothing, since a terminal's reads
// end wherever they happen to.
//
// The first input byte chooses a way of cutting the rest into reads; all reads arrive at the
// same moment, so no Esc or string waits out its time until the end, when time runs on and
// everything still pending is decided.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/key_event.h"
#include "console/posix/key_decoder.h"

namespace {

void require(bool promise) {
  if (!promise) __builtin_trap();
}

std::vector<std::string> keysOf(std::string_view bytes, const std::vector<size_t>& readSizes) {
  KeyDecoder decoder;
  std::deque<KeyEvent> events;
  for (size_t size : readSizes) {
    decodeKeys(decoder, bytes.substr(0, size), 1000, events);
    bytes.remove_prefix(size);
  }
  // Time runs on until nothing waits: each decision may leave new bytes pending.
  int64_t now = 1000;
  for (int round = 0; decoderDeadline(decoder) >= 0; ++round) {
    require(round < 1000);
    now = decoderDeadline(decoder) + reportTimeoutMs + escapeTimeoutMs;
    decodeKeys(decoder, {}, now, events);
  }
  std::vector<std::string> keys;
  for (const KeyEvent& event : events) {
    if (std::optional<std::string> key = translateKeyEvent(event)) keys.push_back(*key);
  }
  return keys;
}

// Read sizes of 1 to 16 bytes from a simple generator seeded by one byte.
std::vector<size_t> cutsFrom(uint8_t seed, size_t total) {
  std::vector<size_t> sizes;
  uint32_t state = seed * 2654435761u + 1;
  while (total > 0) {
    state = state * 1103515245u + 12345u;
    const size_t size = std::min<size_t>(total, 1 + (state >> 16) % 16);
    sizes.push_back(size);
    total -= size;
  }
  return sizes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::vector<std::string> whole = keysOf(bytes, {bytes.size()});
  for (const std::string& key : whole) {
    require(key.size() == 1 || (key.size() == 2 && key[0] == '\0'));
  }
  require(keysOf(bytes, cutsFrom(data[0], bytes.size())) == whole);
  require(keysOf(bytes, std::vector<size_t>(bytes.size(), 1)) == whole);
  return 0;
}
