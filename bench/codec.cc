// Encode and decode throughput of the standard codec for a large map of
// strings and a 16 MiB byte list, each against a plain copy of the same
// bytes measured in the same run.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "channel/standard_codec.h"

namespace {

using quillmar::EncodableValue;
using Clock = std::chrono::steady_clock;

// Best of `rounds` runs, in seconds.
double Best(int rounds, const std::function<void()>& work) {
  double best = 1e9;
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

void Measure(const char* name, const EncodableValue& value) {
  const auto& serializer = quillmar::StandardCodecSerializer::GetInstance();
  std::vector<uint8_t> encoded;
  quillmar::ByteBufferStreamWriter writer(&encoded);
  serializer.WriteValue(value, &writer);
  const double megabytes = static_cast<double>(encoded.size()) / (1 << 20);

  std::vector<uint8_t> copy(encoded.size());
  volatile uint8_t sink = 0;
  double copy_time = Best(20, [&] {
    std::memcpy(copy.data(), encoded.data(), encoded.size());
    sink = sink + copy[copy.size() / 2];
  });
  double encode_time = Best(10, [&] {
    std::vector<uint8_t> bytes;
    quillmar::ByteBufferStreamWriter out(&bytes);
    serializer.WriteValue(value, &out);
    sink = sink + bytes.back();
  });
  double decode_time = Best(10, [&] {
    quillmar::ByteBufferStreamReader in(encoded.data(), encoded.size());
    EncodableValue decoded = serializer.ReadValue(&in);
    sink = sink + static_cast<uint8_t>(decoded.index());
  });
  std::printf(
      "%-26s %8.1f MiB  copy %9.0f MiB/s  encode %8.0f MiB/s (%5.1fx copy time)"
      "  decode %8.0f MiB/s (%5.1fx copy time)\n",
      name, megabytes, megabytes / copy_time, megabytes / encode_time, encode_time / copy_time,
      megabytes / decode_time, decode_time / copy_time);
}

}  // namespace

int main() {
  quillmar::EncodableMap map;
  for (int i = 0; i < 100000; ++i) {
    char key[16];
    std::snprintf(key, sizeof(key), "key%06d", i);
    map.emplace(EncodableValue(std::string(key)), EncodableValue(std::string(64, 'a' + i % 26)));
  }
  Measure("map of 100000 strings", EncodableValue(std::move(map)));
  Measure("16 MiB byte list", EncodableValue(std::vector<uint8_t>(16 << 20, 0x5A)));
  return 0;
}
