#include "base/base64.h"

#include <array>
#include <string_view>

namespace quillmar::base {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNotBase64 = -1;

constexpr std::array<int, 128> MakeSextets() {
  std::array<int, 128> table{};
  for (int& entry : table) entry = kNotBase64;
  for (int i = 0; i < 64; ++i) table[static_cast<size_t>(kAlphabet[i])] = i;
  return table;
}
constexpr std::array<int, 128> kSextets = MakeSextets();

template <class Char>
int Sextet(Char character) {
  auto code = static_cast<uint32_t>(static_cast<std::make_unsigned_t<Char>>(character));
  return code < 128 ? kSextets[code] : kNotBase64;
}

template <class Char>
void Encode(const uint8_t* bytes, size_t size, Char* out) {
  for (size_t start = 0; start < size; start += 3) {
    size_t count = size - start < 3 ? size - start : 3;
    uint32_t group = 0;
    for (size_t i = 0; i < 3; ++i) group = (group << 8) | (i < count ? bytes[start + i] : 0u);
    for (size_t i = 0; i < 4; ++i) {
      *out++ = static_cast<Char>(i <= count ? kAlphabet[(group >> (18 - 6 * i)) & 0x3F] : '=');
    }
  }
}

template <class Char>
std::optional<size_t> Decode(std::basic_string_view<Char> text, uint8_t* out) {
  if (text.size() % 4 != 0) return std::nullopt;
  size_t padding = 0;
  if (!text.empty() && text.back() == Char('='))
    padding = text[text.size() - 2] == Char('=') ? 2 : 1;
  const size_t size = MaxBase64Bytes(text.size()) - padding;
  size_t written = 0;
  for (size_t start = 0; start < text.size(); start += 4) {
    bool last = start + 4 == text.size();
    uint32_t group = 0;
    for (size_t i = 0; i < 4; ++i) {
      bool pad_position = last && i >= 4 - padding;
      int sextet = pad_position ? 0 : Sextet(text[start + i]);
      if (sextet == kNotBase64) return std::nullopt;
      group = (group << 6) | static_cast<uint32_t>(sextet);
    }
    for (int shift = 16; shift >= 0 && written < size; shift -= 8) {
      out[written++] = static_cast<uint8_t>(group >> shift);
    }
  }
  return size;
}

}  // namespace

void EncodeBase64(const uint8_t* bytes, size_t size, char* out) { Encode(bytes, size, out); }
void EncodeBase64(const uint8_t* bytes, size_t size, char16_t* out) { Encode(bytes, size, out); }

std::optional<size_t> DecodeBase64(std::string_view text, uint8_t* out) {
  return Decode(text, out);
}
std::optional<size_t> DecodeBase64(std::u16string_view text, uint8_t* out) {
  return Decode(text, out);
}

}  // namespace quillmar::base
