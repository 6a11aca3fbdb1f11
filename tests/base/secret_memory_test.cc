#include "base/secret_memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quillmar::base {
namespace {

TEST(SecretMemoryTest, WipeZeroesExactlyTheRangeAndAcceptsNothing) {
  unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  SecureWipe(bytes + 2, 4);
  const unsigned char expected[8] = {1, 2, 0, 0, 0, 0, 7, 8};
  EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
  SecureWipe(nullptr, 16);
  SecureWipe(bytes, 0);
  EXPECT_EQ(bytes[0], 1);
}

}  // namespace
}  // namespace quillmar::base
