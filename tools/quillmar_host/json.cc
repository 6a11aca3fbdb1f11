#include "tools/quillmar_host/json.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/base64.h"
#include "base/secret_memory.h"
#include "base/utf.h"

namespace quillmar::cli {
namespace {

using Entries = std::vector<std::pair<std::string, EncodableValue>>;

base::SecretString EncodeBase64(const std::vector<uint8_t>& bytes) {
  base::SecretString text(base::Base64Length(bytes.size()), '\0');
  base::EncodeBase64(bytes.data(), bytes.size(), text.data());
  return text;
}

// Padded standard base64; false on anything else.
bool DecodeBase64(std::string_view text, std::vector<uint8_t>* bytes) {
  bytes->resize(base::MaxBase64Bytes(text.size()));
  std::optional<size_t> size = base::DecodeBase64(text, bytes->data());
  if (!size) return false;
  bytes->resize(*size);
  return true;
}

[[noreturn]] void Fail(const std::string& what) { throw JsonError(what); }

double ToDouble(const EncodableValue& value, const std::string& tag);
template <class T>
EncodableValue ConvertList(const EncodableValue& value, const std::string& tag);
EncodableValue ToMap(const EncodableValue& value);

// Tagged forms, given the parsed plain value under the tag.
EncodableValue ApplyTag(const std::string& tag, EncodableValue value) {
  if (tag == "$bytes") {
    const auto* text = value.GetIf<std::string>();
    std::vector<uint8_t> bytes;
    if (text == nullptr || !DecodeBase64(*text, &bytes)) Fail("$bytes needs padded base64");
    return EncodableValue(std::move(bytes));
  }
  if (tag == "$int64") {
    if (const auto* small = value.GetIf<int32_t>()) return EncodableValue(int64_t{*small});
    if (value.Holds<int64_t>()) return value;
    Fail("$int64 needs an integer");
  }
  if (tag == "$double") return EncodableValue(ToDouble(value, "$double"));
  if (tag == "$int32list") return ConvertList<int32_t>(value, tag);
  if (tag == "$int64list") return ConvertList<int64_t>(value, tag);
  if (tag == "$float64list") return ConvertList<double>(value, tag);
  if (tag == "$float32list") return ConvertList<float>(value, tag);
  if (tag == "$map") return ToMap(value);
  Fail("unknown tag " + tag);
}

double ToDouble(const EncodableValue& value, const std::string& tag) {
  if (const auto* number = value.GetIf<double>()) return *number;
  if (const auto* number = value.GetIf<int32_t>()) return *number;
  if (const auto* number = value.GetIf<int64_t>()) return static_cast<double>(*number);
  if (const auto* word = value.GetIf<std::string>()) {
    if (*word == "NaN") return std::numeric_limits<double>::quiet_NaN();
    if (*word == "Infinity") return std::numeric_limits<double>::infinity();
    if (*word == "-Infinity") return -std::numeric_limits<double>::infinity();
  }
  Fail(tag + " needs numbers, \"NaN\", \"Infinity\" or \"-Infinity\"");
}

template <class T>
EncodableValue ConvertList(const EncodableValue& value, const std::string& tag) {
  const auto* items = value.GetIf<EncodableList>();
  if (items == nullptr) Fail(tag + " needs an array");
  std::vector<T> list;
  for (const EncodableValue& item : *items) {
    if constexpr (std::is_floating_point_v<T>) {
      list.push_back(static_cast<T>(ToDouble(item, tag)));
    } else if (const auto* small = item.GetIf<int32_t>()) {
      list.push_back(*small);
    } else if (const auto* large = item.GetIf<int64_t>(); large && sizeof(T) == 8) {
      list.push_back(static_cast<T>(*large));
    } else {
      Fail(tag + " needs integers that fit its width");
    }
  }
  return EncodableValue(std::move(list));
}

EncodableValue ToMap(const EncodableValue& value) {
  const auto* pairs = value.GetIf<EncodableList>();
  if (pairs == nullptr) Fail("$map needs an array of [key, value] pairs");
  EncodableMap map;
  for (const EncodableValue& pair : *pairs) {
    const auto* entry = pair.GetIf<EncodableList>();
    if (entry == nullptr || entry->size() != 2) Fail("$map needs [key, value] pairs");
    if (!map.emplace((*entry)[0], (*entry)[1]).second) Fail("duplicate key in $map");
  }
  return EncodableValue(std::move(map));
}

EncodableValue Integer(int64_t value) {
  if (value >= std::numeric_limits<int32_t>::min() &&
      value <= std::numeric_limits<int32_t>::max()) {
    return EncodableValue(static_cast<int32_t>(value));
  }
  return EncodableValue(value);
}

// An object's members in the order written: a one-key object whose key
// starts with "$" is a tagged form, any other a map with string keys.
EncodableValue BuildObject(Entries entries) {
  if (entries.size() == 1 && entries[0].first.starts_with('$')) {
    return ApplyTag(entries[0].first, std::move(entries[0].second));
  }
  EncodableMap map;
  for (auto& [key, value] : entries) {
    // Moved into a value, which wipes itself: a plain copy would not be.
    EncodableValue name(std::move(key));
    if (!map.emplace(name, std::move(value)).second) {
      Fail("duplicate key \"" + *name.GetIf<std::string>() + "\"");
    }
  }
  return EncodableValue(std::move(map));
}

// The reader's strings, its token buffer among them, grow in wiped memory:
// the texts it reads carry secrets.
using ZeroingString = std::basic_string<char, std::char_traits<char>, base::ZeroingAllocator<char>>;
using ReaderJson = nlohmann::basic_json<std::map, std::vector, ZeroingString>;

// The kind of a reader error, from the part of its message before the
// quoted input (the reader's fixed wording); never any of the input itself.
const char* ParseErrorKind(const nlohmann::detail::exception& error) {
  if (error.id == 406) return "number out of range";
  std::string_view what = error.what();
  what = what.substr(0, what.find("; last read: '"));
  static constexpr std::pair<std::string_view, const char*> kKinds[] = {
      {"ill-formed UTF-8 byte", "invalid UTF-8 byte"},
      {"missing closing quote", "unterminated string"},
      {"control character", "unescaped control character"},
      {"surrogate", "invalid \\u escape"},
      {"'\\u' must be followed", "invalid \\u escape"},
      {"forbidden character after backslash", "invalid escape"},
      {"invalid literal", "invalid literal"},
      {"invalid number", "invalid number"},
      {"unexpected end of input", "unexpected end of input"},
  };
  for (const auto& [wording, kind] : kKinds) {
    if (what.find(wording) != std::string_view::npos) return kind;
  }
  return "syntax error";
}

// Builds the value from nlohmann's reader as it goes, so that nesting,
// number ranges and repeated keys are refused on the way. Not derived from
// json_sax: the binary readers nlohmann instantiates beside the text reader
// hand some callbacks a std::string rather than our string type.
class ValueBuilder {
 public:
  using number_integer_t = ReaderJson::number_integer_t;
  using number_unsigned_t = ReaderJson::number_unsigned_t;
  using number_float_t = ReaderJson::number_float_t;
  using string_t = ReaderJson::string_t;
  using binary_t = ReaderJson::binary_t;

  EncodableValue TakeValue() { return std::move(value_); }
  const std::string& error() const { return error_; }

  bool null() { return Put(EncodableValue()); }
  bool boolean(bool value) { return Put(EncodableValue(value)); }
  bool number_integer(number_integer_t value) { return Put(Integer(value)); }
  bool number_unsigned(number_unsigned_t value) {
    if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      return Refuse("integer outside the 64-bit range");
    }
    return Put(Integer(static_cast<int64_t>(value)));
  }
  // An integer too large for 64 bits comes here too, as a double.
  template <class Text>
  bool number_float(number_float_t value, const Text& text) {
    if (std::string_view(text).find_first_of(".eE") == std::string_view::npos) {
      return Refuse("integer outside the 64-bit range");
    }
    if (!std::isfinite(value)) return Refuse("number out of range");
    return Put(EncodableValue(value));
  }
  bool string(string_t& value) {
    return Put(EncodableValue(std::string(value.data(), value.size())));
  }
  bool binary(binary_t&) { return Refuse("binary values are not JSON"); }

  bool start_object(std::size_t) { return Open(true); }
  bool key(string_t& key) {
    frames_.back().key.assign(key.data(), key.size());
    return true;
  }
  bool end_object() {
    Frame frame = std::move(frames_.back());
    frames_.pop_back();
    try {
      return Put(BuildObject(std::move(frame.entries)));
    } catch (const JsonError& error) {
      return Refuse(error.what());
    }
  }
  bool start_array(std::size_t) { return Open(false); }
  bool end_array() {
    Frame frame = std::move(frames_.back());
    frames_.pop_back();
    return Put(EncodableValue(std::move(frame.items)));
  }

  // The reader's own message quotes the text it last read, which may be a
  // secret: only the kind of error and its byte position are reported.
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& error) {
    return Refuse(std::string(ParseErrorKind(error)) + " at byte " + std::to_string(position));
  }

 private:
  struct Frame {
    bool object = false;
    std::string key;
    Entries entries;
    EncodableList items;
  };

  bool Refuse(const std::string& what) {
    if (error_.empty()) error_ = what;
    return false;
  }

  bool Open(bool object) {
    if (frames_.size() >= static_cast<size_t>(kMaxJsonDepth)) {
      return Refuse("values nested too deeply");
    }
    frames_.emplace_back();
    frames_.back().object = object;
    return true;
  }

  bool Put(EncodableValue value) {
    if (frames_.empty()) {
      value_ = std::move(value);
    } else if (frames_.back().object) {
      frames_.back().entries.emplace_back(std::move(frames_.back().key), std::move(value));
    } else {
      frames_.back().items.push_back(std::move(value));
    }
    return true;
  }

  std::vector<Frame> frames_;
  EncodableValue value_;
  std::string error_;
};

// Invalid UTF-8 becomes U+FFFD, one for each maximal invalid subsequence,
// as the library's own conversions do.
void WriteString(std::string_view raw, base::SecretString* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  base::SecretU16String wide(base::MaxUtf16Units(raw.size()), u'\0');
  wide.resize(*base::Utf8ToUtf16(raw, wide.data(), base::Utf::kReplace));
  base::SecretString text(base::MaxUtf8Bytes(wide.size()), '\0');
  text.resize(*base::Utf16ToUtf8(wide.view(), text.data(), base::Utf::kReplace));
  out->push_back('"');
  for (char c : text.view()) {
    auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"':
        out->append("\\\"");
        break;
      case '\\':
        out->append("\\\\");
        break;
      case '\b':
        out->append("\\b");
        break;
      case '\f':
        out->append("\\f");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\r':
        out->append("\\r");
        break;
      case '\t':
        out->append("\\t");
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out->append("\\u00");
          out->push_back(kHex[byte >> 4]);
          out->push_back(kHex[byte & 0xF]);
        } else {
          out->push_back(c);
        }
    }
  }
  out->push_back('"');
}

// Shortest text that reads back as the same double (or float); it always
// has a fraction or an exponent so that it reads back as a double.
template <class T>
std::string FormatFloating(T value) {
  if (std::isnan(value)) return "{\"$double\": \"NaN\"}";
  if (std::isinf(value))
    return value > 0 ? "{\"$double\": \"Infinity\"}" : "{\"$double\": \"-Infinity\"}";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

// Inside a typed list the special values are plain strings.
template <class T>
std::string FormatListItem(T value) {
  if (std::isnan(value)) return "\"NaN\"";
  if (std::isinf(value)) return value > 0 ? "\"Infinity\"" : "\"-Infinity\"";
  return FormatFloating(value);
}

template <class T>
void WriteTypedList(const char* tag, const std::vector<T>& items, base::SecretString* out) {
  out->append("{\"").append(tag).append("\": [");
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out->append(", ");
    if constexpr (std::is_floating_point_v<T>) {
      out->append(FormatListItem(items[i]));
    } else {
      out->append(std::to_string(items[i]));
    }
  }
  out->append("]}");
}

// A map reads back as a plain object only with string keys and when it
// cannot be taken for a tagged form.
bool WritesAsObject(const EncodableMap& map) {
  for (const auto& [key, value] : map) {
    if (!key.Holds<std::string>()) return false;
  }
  return !(map.size() == 1 && map.begin()->first.GetIf<std::string>()->starts_with('$'));
}

void Write(const EncodableValue& value, base::SecretString* out);

void WriteMap(const EncodableMap& map, base::SecretString* out) {
  bool as_object = WritesAsObject(map);
  out->append(as_object ? "{" : "{\"$map\": [");
  bool first = true;
  for (const auto& [key, item] : map) {
    if (!first) out->append(", ");
    first = false;
    if (as_object) {
      WriteString(*key.GetIf<std::string>(), out);
      out->append(": ");
      Write(item, out);
    } else {
      out->push_back('[');
      Write(key, out);
      out->append(", ");
      Write(item, out);
      out->push_back(']');
    }
  }
  out->append(as_object ? "}" : "]}");
}

void Write(const EncodableValue& value, base::SecretString* out) {
  switch (static_cast<EncodableIndex>(value.index())) {
    case EncodableIndex::kNull:
      out->append("null");
      return;
    case EncodableIndex::kBool:
      out->append(*value.GetIf<bool>() ? "true" : "false");
      return;
    case EncodableIndex::kInt32:
      out->append(std::to_string(*value.GetIf<int32_t>()));
      return;
    case EncodableIndex::kInt64: {
      int64_t number = *value.GetIf<int64_t>();
      bool fits_32 = number >= std::numeric_limits<int32_t>::min() &&
                     number <= std::numeric_limits<int32_t>::max();
      out->append(fits_32 ? "{\"$int64\": " + std::to_string(number) + "}"
                          : std::to_string(number));
      return;
    }
    case EncodableIndex::kDouble:
      out->append(FormatFloating(*value.GetIf<double>()));
      return;
    case EncodableIndex::kString:
      WriteString(*value.GetIf<std::string>(), out);
      return;
    case EncodableIndex::kUint8List:
      out->append("{\"$bytes\": \"")
          .append(EncodeBase64(*value.GetIf<std::vector<uint8_t>>()))
          .append("\"}");
      return;
    case EncodableIndex::kInt32List:
      WriteTypedList("$int32list", *value.GetIf<std::vector<int32_t>>(), out);
      return;
    case EncodableIndex::kInt64List:
      WriteTypedList("$int64list", *value.GetIf<std::vector<int64_t>>(), out);
      return;
    case EncodableIndex::kDoubleList:
      WriteTypedList("$float64list", *value.GetIf<std::vector<double>>(), out);
      return;
    case EncodableIndex::kFloat32List:
      WriteTypedList("$float32list", *value.GetIf<std::vector<float>>(), out);
      return;
    case EncodableIndex::kList: {
      out->push_back('[');
      const auto& list = *value.GetIf<EncodableList>();
      for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0) out->append(", ");
        Write(list[i], out);
      }
      out->push_back(']');
      return;
    }
    case EncodableIndex::kMap:
      WriteMap(*value.GetIf<EncodableMap>(), out);
      return;
    case EncodableIndex::kCustom:
      out->append("{\"$custom\": null}");
      return;
  }
}

}  // namespace

EncodableValue ParseJson(std::string_view text) {
  ValueBuilder builder;
  if (!ReaderJson::sax_parse(text.begin(), text.end(), &builder)) {
    throw JsonError(builder.error().empty() ? "not a JSON value" : builder.error());
  }
  return builder.TakeValue();
}

base::SecretString WriteJson(const EncodableValue& value) {
  base::SecretString out;
  Write(value, &out);
  return out;
}

}  // namespace quillmar::cli
