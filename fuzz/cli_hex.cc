// Feeds arbitrary text to the command-line host's hex reader. Whatever
// reads must write as hex that reads back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "tools/quillmar_host/hex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using quillmar::cli::ParseHex;
  using quillmar::cli::ToHex;
  std::optional<quillmar::base::SecretBytes> bytes =
      ParseHex(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!bytes) return 0;
  if (bytes->size() * 2 > size) std::abort();
  quillmar::base::SecretString hex = ToHex(*bytes);
  if (hex.size() != bytes->size() * 2 || ParseHex(hex.view()) != bytes) std::abort();
  return 0;
}
