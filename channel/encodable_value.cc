#include "channel/encodable_value.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillmar {
namespace {

// Doubles by value, with every NaN after every other double and equal to
// each other, so that ordered maps keep a strict weak order.
bool DoubleLess(double a, double b) {
  bool a_nan = std::isnan(a);
  bool b_nan = std::isnan(b);
  if (a_nan || b_nan) return !a_nan && b_nan;
  return a < b;
}

template <class T>
bool NumberListLess(const std::vector<T>& a, const std::vector<T>& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if constexpr (std::is_floating_point_v<T>) {
      if (DoubleLess(a[i], b[i])) return true;
      if (DoubleLess(b[i], a[i])) return false;
    } else {
      if (a[i] < b[i]) return true;
      if (b[i] < a[i]) return false;
    }
  }
  return a.size() < b.size();
}

}  // namespace

bool operator<(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) return a.index() < b.index();
  return std::visit(
      [&b](const auto& left) -> bool {
        using T = std::decay_t<decltype(left)>;
        const T& right = *b.GetIf<T>();
        if constexpr (std::is_same_v<T, std::monostate>) {
          return false;
        } else if constexpr (std::is_same_v<T, double>) {
          return DoubleLess(left, right);
        } else if constexpr (std::is_same_v<T, std::string> ||
                             std::is_same_v<T, std::vector<uint8_t>>) {
          size_t common = std::min(left.size(), right.size());
          int order = common == 0 ? 0 : std::memcmp(left.data(), right.data(), common);
          return order != 0 ? order < 0 : left.size() < right.size();
        } else if constexpr (std::is_same_v<T, std::vector<int32_t>> ||
                             std::is_same_v<T, std::vector<int64_t>> ||
                             std::is_same_v<T, std::vector<double>> ||
                             std::is_same_v<T, std::vector<float>>) {
          return NumberListLess(left, right);
        } else if constexpr (std::is_same_v<T, EncodableList>) {
          return std::lexicographical_compare(left.begin(), left.end(), right.begin(),
                                              right.end());
        } else if constexpr (std::is_same_v<T, EncodableMap>) {
          return std::lexicographical_compare(
              left.begin(), left.end(), right.begin(), right.end(),
              [](const auto& x, const auto& y) {
                if (x.first < y.first) return true;
                if (y.first < x.first) return false;
                return x.second < y.second;
              });
        } else {
          return left < right;
        }
      },
      a.variant());
}

}  // namespace quillmar
