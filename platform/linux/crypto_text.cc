// Base64 and strict UTF-8 for the cryptography backend. Unlike the channel's
// lenient conversions, these refuse what is malformed: a ciphertext that
// decrypts to broken text is an error, not a string of replacements.
#include <algorithm>
#include <array>
#include <string>

#include "platform/linux/crypto_linux.h"

namespace quillmar::platform {
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

[[noreturn]] void RefuseBase64() {
  throw PlatformError(
      kBadData, PlatformString(u"The text is not base64 (standard alphabet with \"=\" padding)."));
}

[[noreturn]] void RefuseTranslation(const char16_t* what) {
  throw PlatformError(kNoUnicodeTranslation, PlatformString(what));
}

int Sextet(char16_t character) { return character < 128 ? kSextets[character] : kNotBase64; }

// The byte count of the UTF-8 sequence that `lead` starts; 0 when no
// well-formed sequence starts with it.
size_t SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return lead < 0xF5 ? 4 : 0;
}

// Reads the sequence at `data` (with `available` bytes left); false when it is
// cut short, overlong, a surrogate or beyond U+10FFFF.
bool ReadCodePoint(const uint8_t* data, size_t available, uint32_t* code_point) {
  size_t length = SequenceLength(data[0]);
  if (length == 0 || length > available) return false;
  uint32_t value = length == 1 ? data[0] : data[0] & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((data[k] & 0xC0) != 0x80) return false;
    value = (value << 6) | (data[k] & 0x3F);
  }
  constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF) return false;
  if (value >= 0xD800 && value <= 0xDFFF) return false;
  *code_point = value;
  return true;
}

}  // namespace

Buffer DecodeBase64(const PlatformString& text) {
  std::u16string_view chars = text.view();
  if (chars.size() % 4 != 0) RefuseBase64();
  size_t padding = 0;
  if (!chars.empty() && chars.back() == u'=') padding = chars[chars.size() - 2] == u'=' ? 2 : 1;
  Buffer bytes(chars.size() / 4 * 3 - padding);
  size_t written = 0;
  for (size_t start = 0; start < chars.size(); start += 4) {
    bool last = start + 4 == chars.size();
    uint32_t group = 0;
    for (size_t i = 0; i < 4; ++i) {
      bool pad_position = last && i >= 4 - padding;
      int sextet = pad_position ? 0 : Sextet(chars[start + i]);
      if (sextet == kNotBase64) RefuseBase64();
      group = (group << 6) | static_cast<uint32_t>(sextet);
    }
    for (int shift = 16; shift >= 0 && written < bytes.size(); shift -= 8) {
      bytes.data()[written++] = static_cast<uint8_t>(group >> shift);
    }
  }
  return bytes;
}

PlatformString EncodeBase64(const Buffer& bytes) {
  std::u16string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t start = 0; start < bytes.size(); start += 3) {
    size_t count = std::min<size_t>(3, bytes.size() - start);
    uint32_t group = 0;
    for (size_t i = 0; i < 3; ++i)
      group = (group << 8) | (i < count ? bytes.data()[start + i] : 0u);
    for (size_t i = 0; i < 4; ++i) {
      text.push_back(i <= count ? kAlphabet[(group >> (18 - 6 * i)) & 0x3F] : u'=');
    }
  }
  // Derived bits and keys pass through here.
  PlatformString encoded(text);
  SecureWipe(text.data(), text.size() * sizeof(char16_t));
  return encoded;
}

Buffer EncodeUtf8(const PlatformString& text) {
  std::u16string_view units = text.view();
  Buffer bytes(units.size() * 3);
  size_t size = 0;
  auto put = [&](uint32_t byte) { bytes.data()[size++] = static_cast<uint8_t>(byte); };
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t code_point = units[i];
    if (code_point >= 0xD800 && code_point <= 0xDFFF) {
      bool paired = code_point <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                    units[i + 1] <= 0xDFFF;
      if (!paired) RefuseTranslation(u"The text holds an unpaired surrogate.");
      code_point = 0x10000 + ((code_point - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    if (code_point < 0x80) {
      put(code_point);
    } else if (code_point < 0x800) {
      put(0xC0 | (code_point >> 6));
      put(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
      put(0xE0 | (code_point >> 12));
      put(0x80 | ((code_point >> 6) & 0x3F));
      put(0x80 | (code_point & 0x3F));
    } else {
      put(0xF0 | (code_point >> 18));
      put(0x80 | ((code_point >> 12) & 0x3F));
      put(0x80 | ((code_point >> 6) & 0x3F));
      put(0x80 | (code_point & 0x3F));
    }
  }
  return Buffer(bytes.data(), size);
}

PlatformString DecodeUtf8(const Buffer& bytes) {
  std::u16string units;
  units.reserve(bytes.size());
  const uint8_t* data = bytes.data();
  for (size_t i = 0; i < bytes.size(); i += SequenceLength(data[i])) {
    uint32_t code_point = 0;
    if (!ReadCodePoint(data + i, bytes.size() - i, &code_point)) {
      SecureWipe(units.data(), units.size() * sizeof(char16_t));
      RefuseTranslation(u"The bytes are not well-formed UTF-8 text.");
    }
    if (code_point >= 0x10000) {
      units.push_back(static_cast<char16_t>(0xD800 | ((code_point - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 | ((code_point - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(code_point));
    }
  }
  PlatformString text(units);
  SecureWipe(units.data(), units.size() * sizeof(char16_t));
  return text;
}

}  // namespace quillmar::platform
