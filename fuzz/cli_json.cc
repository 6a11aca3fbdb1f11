// Feeds arbitrary text to the command-line host's JSON reader. Whatever
// reads must write as JSON that reads back to what writes the same text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tools/quillmar_host/json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using quillmar::cli::ParseJson;
  using quillmar::cli::WriteJson;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  quillmar::base::SecretString written;
  try {
    written = WriteJson(ParseJson(text));
  } catch (const quillmar::cli::JsonError&) {
    return 0;
  }
  try {
    if (!(WriteJson(ParseJson(written.view())) == written)) std::abort();
  } catch (const quillmar::cli::JsonError&) {
    std::abort();
  }
  return 0;
}
