// A method call whose arguments are list headers nested as deep as the
// message allows, each announcing every byte that follows it: each count
// fits what remains, yet together they announce about 500 values per byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmar::testing {

// The message sizes the bounds are tested at, named "16KiB" and "1MiB".
inline constexpr size_t kNestedCountsSizes[] = {16 * 1024, 1024 * 1024};
std::string NestedCountsSizeName(size_t size);

// The call "m" with nested counts, exactly `size` bytes long.
std::vector<uint8_t> NestedCountsCall(size_t size);

}  // namespace quillmar::testing
