#include "base/base64.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace quillmar::base {
namespace {

std::optional<std::vector<uint8_t>> Decode(std::string_view text) {
  std::vector<uint8_t> bytes(MaxBase64Bytes(text.size()));
  std::optional<size_t> size = DecodeBase64(text, bytes.data());
  if (!size) return std::nullopt;
  bytes.resize(*size);
  return bytes;
}

struct TextCase {
  const char* name;
  std::string text;
  friend void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }
};

class Base64RefusesTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(Base64RefusesTest, InBothTextForms) {
  EXPECT_EQ(Decode(GetParam().text), std::nullopt);
  std::u16string wide(GetParam().text.begin(), GetParam().text.end());
  std::vector<uint8_t> bytes(MaxBase64Bytes(wide.size()));
  EXPECT_EQ(DecodeBase64(wide, bytes.data()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    NotBase64, Base64RefusesTest,
    ::testing::Values(TextCase{"Unpadded", "Zm9vYg"}, TextCase{"LengthNotFour", "Zm9vY"},
                      TextCase{"ThreePads", "Zg==="}, TextCase{"PadInTheMiddle", "Zg==Zm9v"},
                      TextCase{"PadBeforeData", "Z=9v"}, TextCase{"UrlAlphabet", "-_8="},
                      TextCase{"Blank", "Zm9v YmFy"}, TextCase{"LineEnd", "Zm9v\nYmFy"},
                      TextCase{"ZeroCharacter", std::string("Zm9\0", 4)},
                      TextCase{"HighByte", "Zm9\xC3"}),
    [](const auto& info) { return std::string(info.param.name); });

// RFC 4648 section 10.
TEST(Base64Test, EncodesAndDecodesTheStandardVectors) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, encoded] : vectors) {
    std::string text(Base64Length(plain.size()), '\0');
    EncodeBase64(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), text.data());
    EXPECT_EQ(text, encoded);
    EXPECT_EQ(Decode(encoded), std::vector<uint8_t>(plain.begin(), plain.end()));
  }
  // A non-ASCII UTF-16 character is refused rather than truncated to a byte.
  std::vector<uint8_t> bytes(3);
  EXPECT_EQ(DecodeBase64(std::u16string(u"Zm9\u0176"), bytes.data()), std::nullopt);
}

}  // namespace
}  // namespace quillmar::base
