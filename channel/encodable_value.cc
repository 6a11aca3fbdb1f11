#include "channel/encodable_value.h"

#include <cmath>
#include <cstring>

#include "base/secret_memory.h"

namespace quillmar {
namespace {

template <class T>
int CompareScalars(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Doubles by value, with every NaN after every other double and equal to
// each other, so that ordered maps keep a strict weak order.
int CompareDoubles(double a, double b) {
  bool a_nan = std::isnan(a);
  bool b_nan = std::isnan(b);
  if (a_nan || b_nan) return static_cast<int>(a_nan) - static_cast<int>(b_nan);
  return CompareScalars(a, b);
}

template <class T, class Compare>
int CompareSequences(const T& a, const T& b, Compare compare) {
  auto left = a.begin();
  auto right = b.begin();
  for (; left != a.end() && right != b.end(); ++left, ++right) {
    int order = compare(*left, *right);
    if (order != 0) return order;
  }
  return CompareScalars(a.size(), b.size());
}

// One three-way comparison per level keeps nested values linear to compare.
int CompareValues(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) return CompareScalars(a.index(), b.index());
  return std::visit(
      [&b](const auto& left) -> int {
        using T = std::decay_t<decltype(left)>;
        const T& right = *b.GetIf<T>();
        if constexpr (std::is_same_v<T, std::monostate> ||
                      std::is_same_v<T, CustomEncodableValue>) {
          return 0;
        } else if constexpr (std::is_same_v<T, double>) {
          return CompareDoubles(left, right);
        } else if constexpr (std::is_same_v<T, std::string> ||
                             std::is_same_v<T, std::vector<uint8_t>>) {
          size_t common = std::min(left.size(), right.size());
          int order = common == 0 ? 0 : std::memcmp(left.data(), right.data(), common);
          if (order != 0) return order < 0 ? -1 : 1;
          return CompareScalars(left.size(), right.size());
        } else if constexpr (std::is_same_v<T, std::vector<double>> ||
                             std::is_same_v<T, std::vector<float>>) {
          return CompareSequences(left, right, [](auto x, auto y) { return CompareDoubles(x, y); });
        } else if constexpr (std::is_same_v<T, std::vector<int32_t>> ||
                             std::is_same_v<T, std::vector<int64_t>>) {
          return CompareSequences(left, right, [](auto x, auto y) { return CompareScalars(x, y); });
        } else if constexpr (std::is_same_v<T, EncodableList>) {
          return CompareSequences(left, right, CompareValues);
        } else if constexpr (std::is_same_v<T, EncodableMap>) {
          return CompareSequences(left, right, [](const auto& x, const auto& y) {
            int order = CompareValues(x.first, y.first);
            return order != 0 ? order : CompareValues(x.second, y.second);
          });
        } else {
          return CompareScalars(left, right);
        }
      },
      a.variant());
}

}  // namespace

bool operator<(const EncodableValue& a, const EncodableValue& b) { return CompareValues(a, b) < 0; }

bool operator==(const EncodableValue& a, const EncodableValue& b) {
  return CompareValues(a, b) == 0;
}

void EncodableValue::WipeOwnStorage() noexcept {
  if (auto* text = std::get_if<std::string>(&value_)) {
    base::SecureWipe(text->data(), text->capacity());
  } else if (auto* bytes = std::get_if<std::vector<uint8_t>>(&value_)) {
    base::SecureWipe(bytes->data(), bytes->capacity());
  }
}

void WipeEncodableValue(EncodableValue* value) noexcept {
  if (auto* text = value->GetIf<std::string>()) {
    base::SecureWipe(text->data(), text->capacity());
  } else if (auto* bytes = value->GetIf<std::vector<uint8_t>>()) {
    base::SecureWipe(bytes->data(), bytes->capacity());
  } else if (auto* list = value->GetIf<EncodableList>()) {
    for (EncodableValue& element : *list) WipeEncodableValue(&element);
  } else if (auto* map = value->GetIf<EncodableMap>()) {
    // Keys are never secrets and must keep the map's order intact.
    for (auto& entry : *map) WipeEncodableValue(&entry.second);
  }
}

}  // namespace quillmar
