// The value model of the standard codec: a tagged union of fourteen
// alternatives whose index fixes both the ordering of values and the type
// byte written for them.
#pragma once

#include <any>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace quillmar {

class EncodableValue;
using EncodableList = std::vector<EncodableValue>;
using EncodableMap = std::map<EncodableValue, EncodableValue>;

// A value the standard codec cannot write; it carries anything.
class CustomEncodableValue {
 public:
  // Takes anything std::any takes. A template that never matches this class
  // itself: a constructor from std::any would make the copy constructor's
  // overload set ask whether std::any can hold this (still incomplete) class.
  template <class T,
            class = std::enable_if_t<!std::is_same_v<std::remove_cvref_t<T>, CustomEncodableValue>>>
  explicit CustomEncodableValue(T&& value)
      : value_(std::make_unique<std::any>(std::forward<T>(value))) {}
  CustomEncodableValue(const CustomEncodableValue& other)
      : value_(std::make_unique<std::any>(other.value())) {}
  CustomEncodableValue(CustomEncodableValue&&) noexcept = default;
  CustomEncodableValue& operator=(const CustomEncodableValue& other) {
    value_ = std::make_unique<std::any>(other.value());
    return *this;
  }
  CustomEncodableValue& operator=(CustomEncodableValue&&) noexcept = default;

  // A moved-from value holds nothing.
  const std::any& value() const {
    static const std::any kNothing;
    return value_ ? *value_ : kNothing;
  }
  // Custom values have no order of their own; all compare equal.
  friend bool operator<(const CustomEncodableValue&, const CustomEncodableValue&) { return false; }
  friend bool operator==(const CustomEncodableValue&, const CustomEncodableValue&) { return true; }

 private:
  // Held apart: Microsoft's std::any is 64 bytes, and the alternative of
  // this size would make every value of the codec that large.
  std::unique_ptr<std::any> value_;
};

using EncodableVariant =
    std::variant<std::monostate, bool, int32_t, int64_t, double, std::string, std::vector<uint8_t>,
                 std::vector<int32_t>, std::vector<int64_t>, std::vector<double>, EncodableList,
                 EncodableMap, CustomEncodableValue, std::vector<float>>;

// Alternative indices, for code that switches on them.
enum class EncodableIndex : size_t {
  kNull = 0,
  kBool,
  kInt32,
  kInt64,
  kDouble,
  kString,
  kUint8List,
  kInt32List,
  kInt64List,
  kDoubleList,
  kList,
  kMap,
  kCustom,
  kFloat32List,
};

// Holds the variant rather than deriving from it: a derived recursive
// variant makes the standard comparison operators' constraints depend on
// themselves.
class EncodableValue {
 public:
  EncodableValue() = default;
  template <class T, class = std::enable_if_t<std::is_constructible_v<EncodableVariant, T&&> &&
                                              !std::is_same_v<std::decay_t<T>, EncodableValue>>>
  EncodableValue(T&& value) : value_(std::forward<T>(value)) {}
  // A C string is text, not a boolean.
  EncodableValue(const char* text) : value_(std::string(text)) {}
  // Texts and bytes are wiped when released or overwritten: arguments and
  // replies carry secrets, and a value is copied on its way (reply maps,
  // encoding, dispatch). A move leaves a short text's characters in the
  // source, which its destructor wipes.
  EncodableValue(const EncodableValue&) = default;
  EncodableValue(EncodableValue&&) noexcept = default;
  EncodableValue& operator=(const EncodableValue& other) {
    if (this != &other) {
      WipeOwnStorage();
      value_ = other.value_;
    }
    return *this;
  }
  EncodableValue& operator=(EncodableValue&& other) noexcept {
    if (this != &other) {
      WipeOwnStorage();
      value_ = std::move(other.value_);
    }
    return *this;
  }
  ~EncodableValue() { WipeOwnStorage(); }

  size_t index() const { return value_.index(); }
  bool IsNull() const { return value_.index() == 0; }
  template <class T>
  bool Holds() const {
    return std::holds_alternative<T>(value_);
  }
  // The alternative T, or null when the value holds another one.
  template <class T>
  const T* GetIf() const {
    return std::get_if<T>(&value_);
  }
  template <class T>
  T* GetIf() {
    return std::get_if<T>(&value_);
  }
  const EncodableVariant& variant() const { return value_; }
  EncodableVariant& variant() { return value_; }

  // Ordering: by alternative, then within it (NaN after every other double).
  friend bool operator<(const EncodableValue& a, const EncodableValue& b);
  friend bool operator==(const EncodableValue& a, const EncodableValue& b);
  friend bool operator!=(const EncodableValue& a, const EncodableValue& b) { return !(a == b); }

 private:
  // Overwrites this value's own text or bytes; nested values wipe their own.
  void WipeOwnStorage() noexcept;

  EncodableVariant value_;
};

// Overwrites the bytes of every string and byte list in `value` (arguments
// and replies carry secrets) before they are released.
void WipeEncodableValue(EncodableValue* value) noexcept;

// The standard library's bad-variant-access failure, with the text the
// system reports for it.
class BadVariantAccess : public std::bad_variant_access {
 public:
  const char* what() const noexcept override { return "bad variant access"; }
};

// std::get that raises BadVariantAccess on a mismatch.
template <class T>
const T& GetAlternative(const EncodableValue& value) {
  const T* alternative = value.GetIf<T>();
  if (alternative == nullptr) throw BadVariantAccess();
  return *alternative;
}

}  // namespace quillmar
