#include "base/utf.h"

#include <cstdint>

namespace quillmar::base {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The byte count of the sequence `lead` starts; 0 when none starts with it.
size_t SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The allowed range of the second byte after `lead`: these ranges keep out
// overlong forms, surrogates and code points beyond U+10FFFF.
void SecondByteRange(uint8_t lead, uint8_t* low, uint8_t* high) {
  *low = 0x80;
  *high = 0xBF;
  if (lead == 0xE0) *low = 0xA0;
  if (lead == 0xED) *high = 0x9F;
  if (lead == 0xF0) *low = 0x90;
  if (lead == 0xF4) *high = 0x8F;
}

char* PutUtf8(uint32_t code_point, char* out) {
  if (code_point < 0x80) {
    *out++ = static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    *out++ = static_cast<char>(0xC0 | (code_point >> 6));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (code_point >> 12));
    *out++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (code_point >> 18));
    *out++ = static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  }
  return out;
}

}  // namespace

std::optional<size_t> Utf8ToUtf16(std::string_view utf8, char16_t* out, Utf mode) {
  char16_t* const start = out;
  size_t i = 0;
  while (i < utf8.size()) {
    uint8_t lead = static_cast<uint8_t>(utf8[i]);
    size_t length = SequenceLength(lead);
    if (length == 1) {
      *out++ = lead;
      ++i;
      continue;
    }
    bool complete = length != 0;
    size_t taken = 1;
    uint32_t code_point = lead & (0xFF >> (length + 1));
    for (; complete && taken < length; ++taken) {
      if (i + taken >= utf8.size()) {
        complete = false;
        break;
      }
      uint8_t byte = static_cast<uint8_t>(utf8[i + taken]);
      uint8_t low = 0x80, high = 0xBF;
      if (taken == 1) SecondByteRange(lead, &low, &high);
      if (byte < low || byte > high) {
        complete = false;
        break;
      }
      code_point = (code_point << 6) | (byte & 0x3F);
    }
    // One replacement for the maximal subpart; the offending byte starts anew.
    i += taken;
    if (!complete) {
      if (mode == Utf::kStrict) return std::nullopt;
      *out++ = kReplacement;
      continue;
    }
    if (code_point >= 0x10000) {
      code_point -= 0x10000;
      *out++ = static_cast<char16_t>(0xD800 | (code_point >> 10));
      *out++ = static_cast<char16_t>(0xDC00 | (code_point & 0x3FF));
    } else {
      *out++ = static_cast<char16_t>(code_point);
    }
  }
  return static_cast<size_t>(out - start);
}

std::optional<size_t> Utf16ToUtf8(std::u16string_view utf16, char* out, Utf mode) {
  char* const start = out;
  for (size_t i = 0; i < utf16.size(); ++i) {
    uint32_t unit = utf16[i];
    if (unit < 0xD800 || unit > 0xDFFF) {
      out = PutUtf8(unit, out);
    } else if (unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
               utf16[i + 1] <= 0xDFFF) {
      out = PutUtf8(0x10000 + ((unit - 0xD800) << 10) + (utf16[i + 1] - 0xDC00u), out);
      ++i;
    } else if (mode == Utf::kStrict) {
      return std::nullopt;
    } else {
      out = PutUtf8(kReplacement, out);
    }
  }
  return static_cast<size_t>(out - start);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out(MaxUtf16Units(utf8.size()), u'\0');
  out.resize(*Utf8ToUtf16(utf8, out.data(), Utf::kReplace));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out(MaxUtf8Bytes(utf16.size()), '\0');
  out.resize(*Utf16ToUtf8(utf16, out.data(), Utf::kReplace));
  return out;
}

}  // namespace quillmar::base
