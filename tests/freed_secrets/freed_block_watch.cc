#include "tests/freed_secrets/freed_block_watch.h"

#include <malloc.h>
#include <string.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

namespace quillmar::testing {
namespace {

struct Marker {
  char bytes[FreedBlockWatch::kMaxMarkerSize];
  size_t size;
};

Marker markers[FreedBlockWatch::kMaxMarkers];
size_t marker_count = 0;
std::atomic<bool> watching{false};
std::atomic<size_t> hits{0};

void* Allocate(size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* AllocateAligned(size_t size, std::align_val_t alignment) {
  size_t align = static_cast<size_t>(alignment);
  size_t rounded = (size + align - 1) / align * align;
  void* block = std::aligned_alloc(align, rounded == 0 ? align : rounded);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void Release(void* block) noexcept {
  if (block == nullptr) return;
  size_t size = malloc_usable_size(block);
  if (watching.load(std::memory_order_acquire)) {
    for (size_t i = 0; i < marker_count; ++i) {
      if (Holds(block, size, std::string_view(markers[i].bytes, markers[i].size))) {
        hits.fetch_add(1, std::memory_order_relaxed);
        break;
      }
    }
  }
  explicit_bzero(block, size);
  std::free(block);
}

}  // namespace

bool Holds(const void* bytes, size_t size, std::string_view marker) {
  return !marker.empty() && memmem(bytes, size, marker.data(), marker.size()) != nullptr;
}

void FreedBlockWatch::Start(const std::vector<std::string_view>& watched) {
  marker_count = 0;
  for (std::string_view marker : watched) {
    if (marker_count == kMaxMarkers || marker.size() > kMaxMarkerSize) std::abort();
    memcpy(markers[marker_count].bytes, marker.data(), marker.size());
    markers[marker_count].size = marker.size();
    ++marker_count;
  }
  hits.store(0);
  watching.store(true, std::memory_order_release);
}

size_t FreedBlockWatch::Stop() {
  watching.store(false, std::memory_order_release);
  return hits.load();
}

}  // namespace quillmar::testing

using quillmar::testing::Release;

void* operator new(size_t size) { return quillmar::testing::Allocate(size); }
void* operator new[](size_t size) { return quillmar::testing::Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return quillmar::testing::Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return operator new(size, std::nothrow);
}
void* operator new(size_t size, std::align_val_t alignment) {
  return quillmar::testing::AllocateAligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return quillmar::testing::AllocateAligned(size, alignment);
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  try {
    return quillmar::testing::AllocateAligned(size, alignment);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return operator new(size, alignment, std::nothrow);
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  Release(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  Release(block);
}

namespace quillmar::testing {

std::string MakeSecret(size_t letters) {
  std::random_device device;
  std::string secret = "sekret-";
  for (size_t i = 0; i < letters; ++i) secret.push_back(static_cast<char>('a' + device() % 26));
  return secret;
}

std::string Utf16Bytes(std::string_view ascii) {
  std::string bytes;
  for (char c : ascii) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return bytes;
}

}  // namespace quillmar::testing
