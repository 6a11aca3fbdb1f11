// This test binary replaces the global allocation functions. While a watch
// is on, each block handed back through operator delete is searched for the
// watched byte strings before it is freed. Every block is zeroed when it is
// freed, watched or not, so no block can show bytes an earlier owner left.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillmar::testing {

class FreedBlockWatch {
 public:
  static constexpr size_t kMaxMarkers = 8;
  static constexpr size_t kMaxMarkerSize = 256;

  // Starts counting freed blocks that hold any of `markers`. The markers are
  // copied into fixed storage, so the watch frees nothing of its own.
  static void Start(const std::vector<std::string_view>& markers);
  // Stops and returns how many freed blocks held a marker.
  static size_t Stop();
};

// True when `bytes` holds `marker`.
bool Holds(const void* bytes, size_t size, std::string_view marker);

// A text no one else writes: "sekret-" and `letters` random letters, made at
// run time, so that no constant of the binary and no string of the test
// framework holds it. Call it before a watch starts.
std::string MakeSecret(size_t letters);

// The UTF-16 code units of an ASCII text, as bytes.
std::string Utf16Bytes(std::string_view ascii);

}  // namespace quillmar::testing
