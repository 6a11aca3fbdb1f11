// PBKDF2-HMAC-SHA512 through the build's own cryptography service, as the
// handlers call it: the figure the Windows build prints under Wine, where
// scripts/bench sets it beside Python's hashlib on the same inputs.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "platform/buffer.h"
#include "platform/crypto.h"
#include "platform/service_registry.h"

namespace {

using quillmar::platform::Buffer;

constexpr uint32_t kIterations = 100000;
constexpr int kRounds = 5;

}  // namespace

int main() {
  const char password_text[] = "correct horse battery staple";
  Buffer password(reinterpret_cast<const uint8_t*>(password_text), sizeof password_text - 1);
  Buffer salt(32);
  for (size_t i = 0; i < salt.size(); ++i) salt.data()[i] = static_cast<uint8_t>(i * 7);
  auto& crypto = quillmar::platform::Current<quillmar::platform::Cryptography>();

  Buffer bits;
  double best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    auto start = std::chrono::steady_clock::now();
    bits = crypto.DeriveKeyMaterialPbkdf2Sha512(password, salt, kIterations, 64);
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::printf("PBKDF2-HMAC-SHA512, %u iterations, 64 bytes, best of %d: %.1f ms; output begins ",
              kIterations, kRounds, best * 1e3);
  for (size_t i = 0; i < 8; ++i) std::printf("%02x", bits.data()[i]);
  std::printf("\n");
  return 0;
}
