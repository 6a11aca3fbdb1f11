#include "tests/support/nested_counts.h"

namespace quillmar::testing {

std::string NestedCountsSizeName(size_t size) {
  return size % (1024 * 1024) == 0 ? std::to_string(size / (1024 * 1024)) + "MiB"
                                   : std::to_string(size / 1024) + "KiB";
}

std::vector<uint8_t> NestedCountsCall(size_t size) {
  std::vector<uint8_t> bytes = {7, 1, 'm'};
  // A list (12) of 255 or more elements: the count follows in four bytes.
  while (bytes.size() + 6 <= size) {
    uint32_t count = static_cast<uint32_t>(size - bytes.size() - 6);
    bytes.insert(bytes.end(),
                 {12, 255, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
                  static_cast<uint8_t>(count >> 16), static_cast<uint8_t>(count >> 24)});
  }
  bytes.resize(size, 0);
  return bytes;
}

}  // namespace quillmar::testing
