// The derivation both PBKDF2 benchmarks time; scripts/bench hands Python's
// hashlib the same password, salt and counts.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/buffer.h"

namespace quillmar::bench {

inline constexpr uint32_t kPbkdf2Iterations = 100000;
inline constexpr uint32_t kPbkdf2Bytes = 64;
inline constexpr char kPbkdf2Password[] = "correct horse battery staple";

inline platform::Buffer Pbkdf2Password() {
  return platform::Buffer(reinterpret_cast<const uint8_t*>(kPbkdf2Password),
                          std::strlen(kPbkdf2Password));
}

// 32 bytes: 0, 7, 14, ...
inline platform::Buffer Pbkdf2Salt() {
  platform::Buffer salt(32);
  for (size_t i = 0; i < salt.size(); ++i) salt.data()[i] = static_cast<uint8_t>(i * 7);
  return salt;
}

// How long one run of `work` takes.
template <class Work>
double Seconds(Work work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace quillmar::bench
