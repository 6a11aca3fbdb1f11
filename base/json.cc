#include "base/json.h"

#include <cstdint>

namespace quillmar::base {
namespace {

// Deeper nesting than any message layout has is refused rather than
// followed into the stack.
constexpr int kMaxDepth = 64;

// The one-letter escapes and the characters they stand for.
constexpr std::u16string_view kEscapeLetters = u"\"\\/bfnrt";
constexpr std::u16string_view kEscapedCharacters = u"\"\\/\b\f\n\r\t";

class JsonReader {
 public:
  // Thrown inside the reader only, to leave the recursion at once.
  struct Refused {};

  explicit JsonReader(std::u16string_view text) : text_(text) {}

  std::vector<JsonMember> ReadTopObject() {
    std::vector<JsonMember> object;
    SkipSpace();
    Expect(u'{');
    SkipSpace();
    if (!Take(u'}')) {
      do {
        SkipSpace();
        std::u16string name = ReadString();
        SkipSpace();
        Expect(u':');
        SkipSpace();
        if (Peek() == u'"') {
          std::u16string value = ReadString();
          object.push_back({std::move(name), std::move(value)});
        } else {
          SkipValue(1);
          object.push_back({std::move(name), std::nullopt});
        }
        SkipSpace();
      } while (Take(u','));
      Expect(u'}');
    }
    SkipSpace();
    if (position_ != text_.size()) Refuse();
    return object;
  }

 private:
  [[noreturn]] static void Refuse() { throw Refused{}; }

  char16_t Peek() const { return position_ < text_.size() ? text_[position_] : u'\0'; }
  bool Take(char16_t expected) {
    if (position_ >= text_.size() || text_[position_] != expected) return false;
    ++position_;
    return true;
  }
  void Expect(char16_t expected) {
    if (!Take(expected)) Refuse();
  }
  void SkipSpace() {
    while (Peek() == u' ' || Peek() == u'\t' || Peek() == u'\n' || Peek() == u'\r') ++position_;
  }
  void ExpectWord(std::u16string_view word) {
    if (text_.substr(position_, word.size()) != word) Refuse();
    position_ += word.size();
  }
  bool TakeDigits() {
    size_t start = position_;
    while (Peek() >= u'0' && Peek() <= u'9') ++position_;
    return position_ > start;
  }

  uint32_t ReadHex4() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      char16_t c = Peek();
      uint32_t digit = c >= u'0' && c <= u'9'   ? c - u'0'
                       : c >= u'a' && c <= u'f' ? c - u'a' + 10
                       : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                : 16;
      if (digit == 16) Refuse();
      value = value * 16 + digit;
      ++position_;
    }
    return value;
  }

  std::u16string ReadString() {
    Expect(u'"');
    std::u16string value;
    while (true) {
      if (position_ >= text_.size()) Refuse();
      char16_t c = text_[position_++];
      if (c == u'"') return value;
      if (c < 0x20) Refuse();
      if (c != u'\\') {
        value.push_back(c);
        continue;
      }
      char16_t escape = Peek();
      ++position_;
      if (escape == u'u') {
        value.push_back(static_cast<char16_t>(ReadHex4()));
        continue;
      }
      size_t known = kEscapeLetters.find(escape);
      if (known == std::u16string_view::npos) Refuse();
      value.push_back(kEscapedCharacters[known]);
    }
  }

  void SkipNumber() {
    Take(u'-');
    if (!Take(u'0') && !TakeDigits()) Refuse();
    if (Take(u'.') && !TakeDigits()) Refuse();
    if (Take(u'e') || Take(u'E')) {
      if (!Take(u'+')) Take(u'-');
      if (!TakeDigits()) Refuse();
    }
  }

  void SkipValue(int depth) {
    if (depth > kMaxDepth) Refuse();
    char16_t c = Peek();
    if (c == u'"') {
      ReadString();
    } else if (c == u'{' || c == u'[') {
      char16_t close = c == u'{' ? u'}' : u']';
      ++position_;
      SkipSpace();
      if (Take(close)) return;
      do {
        SkipSpace();
        if (close == u'}') {
          ReadString();
          SkipSpace();
          Expect(u':');
          SkipSpace();
        }
        SkipValue(depth + 1);
        SkipSpace();
      } while (Take(u','));
      Expect(close);
    } else if (c == u't') {
      ExpectWord(u"true");
    } else if (c == u'f') {
      ExpectWord(u"false");
    } else if (c == u'n') {
      ExpectWord(u"null");
    } else {
      SkipNumber();
    }
  }

  std::u16string_view text_;
  size_t position_ = 0;
};

}  // namespace

std::optional<std::vector<JsonMember>> ReadJsonObject(std::u16string_view text) {
  try {
    return JsonReader(text).ReadTopObject();
  } catch (const JsonReader::Refused&) {
    return std::nullopt;
  }
}

}  // namespace quillmar::base
