// Replaces the global allocation functions of this test binary so that a
// test can count what one thread allocates and make large allocations of
// one thread fail with std::bad_alloc.
#pragma once

#include <cstddef>

namespace quillmar::testing {

// From now on, allocations of at least `size` bytes on the calling thread
// throw std::bad_alloc; 0 ends that.
void FailAllocationsFrom(size_t size);

// Starts counting the bytes the calling thread allocates, from zero.
void StartCountingAllocations();
// The bytes counted on the calling thread since StartCountingAllocations.
size_t CountedAllocations();

}  // namespace quillmar::testing
