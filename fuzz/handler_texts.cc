// Feeds arbitrary text to "decryptStringWithKey" (K001, the JSON and the
// bare layout) and "decryptStringWithPassword" (P001 and its legacy layout)
// with the real cryptography backend. The first byte chooses the handler;
// the rest is the encrypted message. Every text is answered exactly once,
// with one of the documented reply shapes.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "channel/method_result.h"
#include "crypto/handlers.h"
#include "platform/crypto.h"
#include "platform/service_registry.h"

namespace {

using quillmar::EncodableMap;
using quillmar::EncodableValue;

// 64 bytes 0x00..0x3F; the seeds are encrypted under it and "pw".
constexpr char kKeyBase64[] =
    "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+Pw==";
constexpr char kPassword[] = "pw";

// One PBKDF2 iteration instead of 100000: the texts are what is fuzzed.
class QuickDerivation : public quillmar::platform::CryptographyWrapper {
 public:
  using CryptographyWrapper::CryptographyWrapper;
  quillmar::platform::Buffer DeriveKeyMaterialPbkdf2Sha512(
      const quillmar::platform::Buffer& password, const quillmar::platform::Buffer& salt, uint32_t,
      uint32_t byte_length) override {
    return CryptographyWrapper::DeriveKeyMaterialPbkdf2Sha512(password, salt, 1, byte_length);
  }
};

class CountingResult : public quillmar::MethodResult {
 public:
  explicit CountingResult(int* answers) : answers_(answers) {}

 protected:
  void SuccessInternal(const EncodableValue* value) override {
    ++*answers_;
    const auto* map = value != nullptr ? value->GetIf<EncodableMap>() : nullptr;
    if (map == nullptr) std::abort();
    auto success = map->find(EncodableValue("authenticationSuccess"));
    bool has_value = map->count(EncodableValue("value")) != 0;
    if (map->count(EncodableValue("error")) != 0) {
      if (map->size() != 1) std::abort();
    } else if (success == map->end() || has_value != (success->second == EncodableValue(true))) {
      std::abort();
    }
  }
  void ErrorInternal(const std::string&, const std::string&, const EncodableValue*) override {
    ++*answers_;
  }
  void NotImplementedInternal() override { std::abort(); }

 private:
  int* answers_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using quillmar::platform::Cryptography;
  static QuickDerivation crypto(&quillmar::platform::DefaultService<Cryptography>());
  static quillmar::platform::ScopedOverride<Cryptography> override_crypto(&crypto);
  if (size == 0) return 0;
  bool by_password = (data[0] & 1) != 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  EncodableMap arguments = {{EncodableValue("encryptedMessage"), EncodableValue(text)}};
  if (by_password) {
    arguments[EncodableValue("password")] = EncodableValue(kPassword);
  } else {
    arguments[EncodableValue("key512Base64")] = EncodableValue(kKeyBase64);
  }
  EncodableValue value(std::move(arguments));
  int answers = 0;
  try {
    auto result = std::make_unique<CountingResult>(&answers);
    if (by_password) {
      quillmar::HandleDecryptStringWithPassword(&value, std::move(result));
    } else {
      quillmar::HandleDecryptStringWithKey(&value, std::move(result));
    }
  } catch (const std::exception&) {
    // What escapes is answered by the dispatcher ("invalid string position").
    ++answers;
  }
  if (answers != 1) std::abort();
  return 0;
}
