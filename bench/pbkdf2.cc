// One PBKDF2-HMAC-SHA512 derivation of 100000 iterations, ours and OpenSSL's
// PKCS5_PBKDF2_HMAC, beside its limit: 200000 SHA-512 block compressions
// (the inner and the outer hash of every iteration). Each figure is the best
// of several rounds, the three measured in turn within each round.
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/crypto.h"
#include "platform/linux/sha512_block.h"
#include "platform/service_registry.h"

namespace {

using quillmar::platform::Buffer;

constexpr uint32_t kIterations = 100000;
constexpr int kRounds = 7;

template <class Work>
double Seconds(Work work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  const char password_text[] = "correct horse battery staple";
  Buffer password(reinterpret_cast<const uint8_t*>(password_text), sizeof password_text - 1);
  Buffer salt(32);
  for (size_t i = 0; i < salt.size(); ++i) salt.data()[i] = static_cast<uint8_t>(i * 7);
  auto& crypto = quillmar::platform::Current<quillmar::platform::Cryptography>();

  Buffer ours;
  uint8_t theirs[64];
  volatile uint64_t sink = 0;
  double best_limit = 1e9, best_ours = 1e9, best_openssl = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    best_limit = std::min(best_limit, Seconds([&] {
                            quillmar::platform::Sha512State state =
                                quillmar::platform::Sha512InitialState();
                            uint8_t block[128] = {};
                            for (uint32_t i = 0; i < 2 * kIterations; ++i) {
                              quillmar::platform::Sha512CompressBlock(&state, block);
                              block[0] = static_cast<uint8_t>(state.words[0]);
                            }
                            sink = sink + state.words[0];
                          }));
    best_ours =
        std::min(best_ours, Seconds([&] {
                   ours = crypto.DeriveKeyMaterialPbkdf2Sha512(password, salt, kIterations, 64);
                 }));
    best_openssl = std::min(best_openssl, Seconds([&] {
                              PKCS5_PBKDF2_HMAC(password_text, static_cast<int>(password.size()),
                                                salt.data(), static_cast<int>(salt.size()),
                                                kIterations, EVP_sha512(), 64, theirs);
                            }));
  }

  bool same = ours.size() == 64 && std::memcmp(ours.data(), theirs, 64) == 0;
  std::printf("PBKDF2-HMAC-SHA512, %u iterations, 64 bytes (best of %d rounds)\n", kIterations,
              kRounds);
  std::printf("  %-36s %8.2f ms\n", "limit: 200000 SHA-512 compressions", best_limit * 1e3);
  std::printf("  %-36s %8.2f ms  %.3f x limit\n", "ours", best_ours * 1e3, best_ours / best_limit);
  std::printf("  %-36s %8.2f ms  %.3f x limit\n", "OpenSSL PKCS5_PBKDF2_HMAC", best_openssl * 1e3,
              best_openssl / best_limit);
  std::printf("  outputs %s\n", same ? "agree" : "DIFFER");
  return same ? 0 : 1;
}
