// Feeds arbitrary text to the strict base64 reader, as UTF-8 and as UTF-16,
// and arbitrary bytes to the writer. What reads must write back to a text of
// the same length that reads to the same bytes; what is written must read.
#include "base/base64.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quillmar::base::Base64Length;
using quillmar::base::DecodeBase64;
using quillmar::base::EncodeBase64;
using quillmar::base::MaxBase64Bytes;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::optional<std::vector<uint8_t>> Decode(std::string_view text) {
  std::vector<uint8_t> bytes(MaxBase64Bytes(text.size()));
  std::optional<size_t> size = DecodeBase64(text, bytes.data());
  if (!size) return std::nullopt;
  Check(*size <= bytes.size());
  bytes.resize(*size);
  return bytes;
}

std::string Encode(const std::vector<uint8_t>& bytes) {
  std::string text(Base64Length(bytes.size()), '\0');
  EncodeBase64(bytes.data(), bytes.size(), text.data());
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (std::optional<std::vector<uint8_t>> bytes = Decode(text)) {
    std::string again = Encode(*bytes);
    Check(again.size() == text.size());
    Check(Decode(again) == bytes);
    // The same text as UTF-16 reads the same.
    std::u16string wide(text.begin(), text.end());
    std::vector<uint8_t> wide_bytes(MaxBase64Bytes(wide.size()));
    std::optional<size_t> wide_size = DecodeBase64(wide, wide_bytes.data());
    Check(wide_size == bytes->size());
    Check(std::equal(bytes->begin(), bytes->end(), wide_bytes.begin()));
  }
  std::u16string units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
  std::vector<uint8_t> unit_bytes(MaxBase64Bytes(units.size()));
  DecodeBase64(units, unit_bytes.data());

  std::vector<uint8_t> input(data, data + size);
  Check(Decode(Encode(input)) == input);
  return 0;
}
