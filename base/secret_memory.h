// Wiping of memory that held secrets, and a byte buffer that wipes itself.
// Portable: no OS service is needed to overwrite memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillmar::base {

// Overwrites `size` bytes at `data` with zeros in a way the compiler keeps.
void SecureWipe(void* data, size_t size) noexcept;

// A byte buffer whose bytes are wiped on release (the platform's IBuffer).
class Buffer {
 public:
  Buffer() = default;
  explicit Buffer(size_t size) : bytes_(size) {}
  Buffer(const uint8_t* data, size_t size) : bytes_(data, data + size) {}
  explicit Buffer(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  Buffer(const Buffer&) = default;
  Buffer(Buffer&& other) noexcept : bytes_(std::move(other.bytes_)) { other.bytes_.clear(); }
  Buffer& operator=(const Buffer& other) {
    if (this != &other) {
      Wipe();
      bytes_ = other.bytes_;
    }
    return *this;
  }
  Buffer& operator=(Buffer&& other) noexcept {
    if (this != &other) {
      Wipe();
      bytes_ = std::move(other.bytes_);
      other.bytes_.clear();
    }
    return *this;
  }
  ~Buffer() { Wipe(); }

  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  uint32_t Length() const { return static_cast<uint32_t>(bytes_.size()); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  // Shrinking wipes the bytes given up; growing may move the bytes, so the
  // old storage is wiped first.
  void Resize(size_t size) {
    if (size < bytes_.size()) {
      SecureWipe(bytes_.data() + size, bytes_.size() - size);
      bytes_.resize(size);
    } else if (size > bytes_.capacity()) {
      std::vector<uint8_t> grown(size);
      std::copy(bytes_.begin(), bytes_.end(), grown.begin());
      Wipe();
      bytes_ = std::move(grown);
    } else {
      bytes_.resize(size);
    }
  }

  friend bool operator==(const Buffer& a, const Buffer& b) { return a.bytes_ == b.bytes_; }

 private:
  void Wipe() noexcept {
    SecureWipe(bytes_.data(), bytes_.size());
    bytes_.clear();
  }

  std::vector<uint8_t> bytes_;
};

}  // namespace quillmar::base
