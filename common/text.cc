#include "common/text.h"

namespace quillmar {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The allowed range of the second byte of a sequence led by `lead`.
void SecondByteRange(uint8_t lead, uint8_t* low, uint8_t* high) {
  *low = 0x80;
  *high = 0xBF;
  if (lead == 0xE0) *low = 0xA0;
  if (lead == 0xED) *high = 0x9F;
  if (lead == 0xF0) *low = 0x90;
  if (lead == 0xF4) *high = 0x8F;
}

size_t SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

void AppendUtf8(uint32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace

platform::PlatformString Utf8ToWide(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    uint8_t lead = static_cast<uint8_t>(utf8[i]);
    size_t length = SequenceLength(lead);
    if (length == 1) {
      out.push_back(lead);
      ++i;
      continue;
    }
    if (length == 0) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    uint32_t code_point = lead & (0xFF >> (length + 1));
    size_t taken = 1;
    bool complete = true;
    for (; taken < length; ++taken) {
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
    i += taken;
    if (!complete) {
      // One replacement for the maximal subpart; the offending byte starts anew.
      out.push_back(kReplacement);
      continue;
    }
    if (code_point >= 0x10000) {
      code_point -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | (code_point >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 | (code_point & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code_point));
    }
  }
  platform::PlatformString result(out);
  platform::SecureWipe(out.data(), out.size() * sizeof(char16_t));
  return result;
}

std::string WideToUtf8(const char16_t* text, uint32_t length) {
  // Three bytes per code unit at most, so the text never moves (a moved
  // buffer would be freed holding a secret).
  std::string out;
  out.reserve(size_t{length} * 3);
  for (uint32_t i = 0; i < length; ++i) {
    uint32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      uint32_t code_point = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      AppendUtf8(code_point, &out);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(kReplacement, &out);
    } else {
      AppendUtf8(unit, &out);
    }
  }
  return out;
}

std::string WideToUtf8(const platform::PlatformString& text) {
  return WideToUtf8(text.data(), static_cast<uint32_t>(text.size()));
}

std::string WideCStringToUtf8(const char16_t* text) {
  uint32_t length = 0;
  while (text[length] != 0) ++length;
  return WideToUtf8(text, length);
}

std::string PlatformErrorMessage(const platform::PlatformError& error) {
  if (error.restricted_code() && *error.restricted_code() == error.code()) {
    return WideToUtf8(error.restricted_message());
  }
  return WideToUtf8(platform::SystemMessageText(error.code()));
}

}  // namespace quillmar
