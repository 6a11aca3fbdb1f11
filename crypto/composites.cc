#include "crypto/composites.h"

#include "common/text.h"
#include "platform/crypto_buffers.h"
#include "platform/service_registry.h"

namespace quillmar {

using platform::Buffer;

namespace {
constexpr uint32_t kHalfKeySize = 32;
}  // namespace

platform::Cryptography& Crypto() { return platform::Current<platform::Cryptography>(); }

Buffer DerivePasswordKey(const platform::PlatformString& password, const Buffer& salt,
                         uint32_t iteration_count, uint32_t byte_length) {
  Buffer password_bytes = Crypto().ConvertStringToBinary(password);
  return Crypto().DeriveKeyMaterialPbkdf2Sha512(password_bytes, salt, iteration_count, byte_length);
}

Buffer DerivePasswordKey(std::string_view password, const Buffer& salt, uint32_t byte_length) {
  return DerivePasswordKey(Utf8ToWide(password), salt, kPasswordIterations, byte_length);
}

KeyPair SplitKey(const Buffer& key) {
  platform::DataReader reader = platform::DataReader::FromBuffer(key);
  KeyPair pair;
  pair.cipher_key = reader.ReadBuffer(kHalfKeySize);
  pair.mac_key = reader.ReadBuffer(kHalfKeySize);
  reader.Close();
  return pair;
}

Buffer SplitCipherKey(const Buffer& key) {
  platform::DataReader reader = platform::DataReader::FromBuffer(key);
  Buffer cipher_key = reader.ReadBuffer(kHalfKeySize);
  reader.Close();
  return cipher_key;
}

Buffer JoinBuffers(std::initializer_list<const Buffer*> parts) {
  platform::DataWriter writer;
  for (const Buffer* part : parts) writer.WriteBuffer(*part);
  Buffer joined = writer.DetachBuffer();
  writer.Close();
  return joined;
}

Buffer ComputeMac(const Buffer& mac_key, const Buffer& data) {
  return Crypto().HmacSha256(mac_key, data);
}

Buffer EncryptBytes(const Buffer& cipher_key, const Buffer& plaintext, const Buffer& iv) {
  return Crypto().EncryptAesCbcPkcs7(cipher_key, plaintext, iv);
}

Buffer DecryptBytes(const Buffer& cipher_key, const Buffer& ciphertext, const Buffer& iv) {
  return Crypto().DecryptAesCbcPkcs7(cipher_key, ciphertext, iv);
}

Buffer DecodeBase64Text(std::string_view text) {
  return Crypto().DecodeFromBase64String(Utf8ToWide(text));
}

std::string EncodeBase64Text(const Buffer& bytes) {
  return WideToUtf8(Crypto().EncodeToBase64String(bytes));
}

Buffer TextToBytes(std::string_view text) {
  return Crypto().ConvertStringToBinary(Utf8ToWide(text));
}

std::string BytesToText(const Buffer& bytes) {
  return WideToUtf8(Crypto().ConvertBinaryToString(bytes));
}

}  // namespace quillmar
