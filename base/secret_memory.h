// Memory for secrets that is wiped when released: an allocator that zeroes
// what it frees, the byte and text types over it, and the platform's byte
// buffer. Portable; the one OS call, SecureWipe, is defined per OS in
// platform/<os>/secure_wipe.cc (target quillmar_secure_wipe).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace quillmar::base {

// Overwrites `size` bytes at `data` with zeros in a way the compiler keeps.
void SecureWipe(void* data, size_t size) noexcept;

// A block for secrets from the heap, and its release: wiped, then freed.
// Out of line, so that the optimiser does not follow containers' blocks
// into the heap (GCC 12 then misreports their growth at -O3).
void* AllocateSecretBlock(size_t size, size_t alignment);
void FreeSecretBlock(void* block, size_t size, size_t alignment) noexcept;

// Wipes every block before it goes back to the heap. Stateless: all
// instances are equal, so containers move storage between them freely.
template <class T>
class ZeroingAllocator {
 public:
  using value_type = T;
  using propagate_on_container_move_assignment = std::true_type;
  using is_always_equal = std::true_type;

  ZeroingAllocator() noexcept = default;
  template <class U>
  ZeroingAllocator(const ZeroingAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocateSecretBlock(n * sizeof(T), alignof(T)));
  }
  void deallocate(T* block, size_t n) noexcept {
    FreeSecretBlock(block, n * sizeof(T), alignof(T));
  }

  friend bool operator==(const ZeroingAllocator&, const ZeroingAllocator&) noexcept { return true; }
};

// Bytes that are wiped when freed, whether by release, growth or assignment.
using SecretBytes = std::vector<uint8_t, ZeroingAllocator<uint8_t>>;

// Text that is wiped when freed. Its units always live in allocated storage
// (a vector has no in-object buffer, unlike a short std::basic_string), so
// a move hands the storage over and nothing is left behind in the source.
// The units are kept followed by a zero, for c_str().
template <class CharT>
class BasicSecretString {
 public:
  using value_type = CharT;
  using View = std::basic_string_view<CharT>;

  BasicSecretString() = default;
  BasicSecretString(View text) { append(text); }
  BasicSecretString(const CharT* text) : BasicSecretString(View(text)) {}
  BasicSecretString(const CharT* text, size_t size) : BasicSecretString(View(text, size)) {}
  BasicSecretString(size_t count, CharT unit) { resize(count, unit); }
  // Takes a plain string's text and wipes the plain string's storage (a
  // short one keeps its units inside the object, which a move would copy).
  explicit BasicSecretString(std::basic_string<CharT>&& text) : BasicSecretString(View(text)) {
    SecureWipe(text.data(), (text.capacity() + 1) * sizeof(CharT));
    text.clear();
  }
  BasicSecretString(const BasicSecretString&) = default;
  BasicSecretString(BasicSecretString&&) noexcept = default;
  BasicSecretString& operator=(const BasicSecretString&) = default;
  BasicSecretString& operator=(BasicSecretString&&) noexcept = default;
  ~BasicSecretString() = default;

  const CharT* data() const { return units_.empty() ? empty_ : units_.data(); }
  // Writable units; valid while the size does not change.
  CharT* data() { return units_.empty() ? empty_ : units_.data(); }
  const CharT* c_str() const { return data(); }
  size_t size() const { return units_.empty() ? 0 : units_.size() - 1; }
  bool empty() const { return units_.size() <= 1; }
  View view() const { return View(data(), size()); }
  operator View() const { return view(); }
  CharT operator[](size_t index) const { return data()[index]; }
  CharT& operator[](size_t index) { return units_[index]; }

  void reserve(size_t size) { units_.reserve(size + 1); }
  // Growing fills with `unit`. Growth that moves the units wipes the old
  // storage; storage given up by shrinking is wiped when freed.
  void resize(size_t size, CharT unit = CharT()) {
    if (size == this->size()) return;
    if (units_.empty()) units_.push_back(CharT());
    units_.back() = unit;
    units_.resize(size + 1, unit);
    units_.back() = CharT();
  }
  BasicSecretString& append(View text) {
    if (text.empty()) return *this;
    if (units_.empty()) units_.push_back(CharT());
    units_.insert(units_.end() - 1, text.begin(), text.end());
    return *this;
  }
  void push_back(CharT unit) { append(View(&unit, 1)); }
  BasicSecretString& operator+=(View text) { return append(text); }
  // Empties the text and frees (so wipes) its storage.
  void clear() noexcept { Units().swap(units_); }

  friend bool operator==(const BasicSecretString& a, const BasicSecretString& b) {
    return a.view() == b.view();
  }
  friend bool operator==(const BasicSecretString& a, View b) { return a.view() == b; }
  friend bool operator==(const BasicSecretString& a, const CharT* b) { return a.view() == View(b); }

 private:
  using Units = std::vector<CharT, ZeroingAllocator<CharT>>;
  // The empty text's zero; never written, as nothing may be written past size().
  static inline CharT empty_[1] = {};

  Units units_;  // empty, or the text's units and a zero
};

using SecretString = BasicSecretString<char>;         // UTF-8
using SecretU16String = BasicSecretString<char16_t>;  // UTF-16

// A byte buffer whose bytes are wiped on release (the platform's IBuffer).
class Buffer {
 public:
  Buffer() = default;
  explicit Buffer(size_t size) : bytes_(size) {}
  Buffer(const uint8_t* data, size_t size) : bytes_(data, data + size) {}
  explicit Buffer(SecretBytes bytes) : bytes_(std::move(bytes)) {}

  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  uint32_t Length() const { return static_cast<uint32_t>(bytes_.size()); }
  const SecretBytes& bytes() const { return bytes_; }
  void Resize(size_t size) { bytes_.resize(size); }

  friend bool operator==(const Buffer& a, const Buffer& b) { return a.bytes_ == b.bytes_; }

 private:
  SecretBytes bytes_;
};

}  // namespace quillmar::base
