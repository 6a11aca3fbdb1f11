// PBKDF2-HMAC-SHA512 through the build's own cryptography service, as the
// handlers call it: the figure the Windows build prints under Wine, where
// scripts/bench sets it beside Python's hashlib on the same inputs.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "bench/pbkdf2_inputs.h"
#include "platform/buffer.h"
#include "platform/crypto.h"
#include "platform/service_registry.h"

namespace {

using quillmar::bench::kPbkdf2Bytes;
using quillmar::platform::Buffer;

constexpr uint32_t kIterations = quillmar::bench::kPbkdf2Iterations;
constexpr int kRounds = 5;

}  // namespace

int main() {
  Buffer password = quillmar::bench::Pbkdf2Password();
  Buffer salt = quillmar::bench::Pbkdf2Salt();
  auto& crypto = quillmar::platform::Current<quillmar::platform::Cryptography>();

  Buffer bits;
  double best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    best = std::min(best, quillmar::bench::Seconds([&] {
                      bits = crypto.DeriveKeyMaterialPbkdf2Sha512(password, salt, kIterations,
                                                                  kPbkdf2Bytes);
                    }));
  }
  std::printf("PBKDF2-HMAC-SHA512, %u iterations, %u bytes, best of %d: %.1f ms; output begins ",
              kIterations, kPbkdf2Bytes, kRounds, best * 1e3);
  for (size_t i = 0; i < 8; ++i) std::printf("%02x", bits.data()[i]);
  std::printf("\n");
  return 0;
}
