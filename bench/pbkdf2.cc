// One PBKDF2-HMAC-SHA512 derivation of 100000 iterations, ours and OpenSSL's
// PKCS5_PBKDF2_HMAC, beside its limit: 200000 SHA-512 block compressions
// (the inner and the outer hash of every iteration). Each figure is the best
// of several rounds, the three measured in turn within each round.
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "bench/pbkdf2_inputs.h"
#include "platform/crypto.h"
#include "platform/linux/sha512_block.h"
#include "platform/service_registry.h"

namespace {

using quillmar::bench::kPbkdf2Bytes;
using quillmar::bench::Seconds;
using quillmar::platform::Buffer;

constexpr uint32_t kIterations = quillmar::bench::kPbkdf2Iterations;
constexpr int kRounds = 7;

}  // namespace

int main() {
  Buffer password = quillmar::bench::Pbkdf2Password();
  Buffer salt = quillmar::bench::Pbkdf2Salt();
  auto& crypto = quillmar::platform::Current<quillmar::platform::Cryptography>();

  Buffer ours;
  uint8_t theirs[kPbkdf2Bytes];
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
    best_ours = std::min(best_ours, Seconds([&] {
                           ours = crypto.DeriveKeyMaterialPbkdf2Sha512(password, salt, kIterations,
                                                                       kPbkdf2Bytes);
                         }));
    best_openssl = std::min(best_openssl, Seconds([&] {
                              PKCS5_PBKDF2_HMAC(quillmar::bench::kPbkdf2Password,
                                                static_cast<int>(password.size()), salt.data(),
                                                static_cast<int>(salt.size()), kIterations,
                                                EVP_sha512(), kPbkdf2Bytes, theirs);
                            }));
  }

  bool same = ours.size() == kPbkdf2Bytes && std::memcmp(ours.data(), theirs, kPbkdf2Bytes) == 0;
  std::printf("PBKDF2-HMAC-SHA512, %u iterations, %u bytes (best of %d rounds)\n", kIterations,
              kPbkdf2Bytes, kRounds);
  std::printf("  %-36s %8.2f ms\n", "limit: 200000 SHA-512 compressions", best_limit * 1e3);
  std::printf("  %-36s %8.2f ms  %.3f x limit\n", "ours", best_ours * 1e3, best_ours / best_limit);
  std::printf("  %-36s %8.2f ms  %.3f x limit\n", "OpenSSL PKCS5_PBKDF2_HMAC", best_openssl * 1e3,
              best_openssl / best_limit);
  std::printf("  outputs %s\n", same ? "agree" : "DIFFER");
  return same ? 0 : 1;
}
