// Byte reader and writer of the standard codec. Alignment is measured from
// the start of the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillmar {

class ByteStreamReader {
 public:
  virtual ~ByteStreamReader() = default;
  // The next byte; 0 after reporting a read past the end.
  virtual uint8_t GetByte() = 0;
  // Copies `length` bytes into `buffer`; past the end it reports, leaves
  // `buffer` untouched and does not advance.
  virtual void GetBytes(uint8_t* buffer, size_t length) = 0;
  // Advances to the next multiple of `alignment`.
  virtual void AlignRead(uint8_t alignment) = 0;
  // Bytes left to read; a decoder never allocates more than this.
  virtual size_t Remaining() const = 0;
};

class ByteStreamWriter {
 public:
  virtual ~ByteStreamWriter() = default;
  virtual void PutByte(uint8_t byte) = 0;
  virtual void PutBytes(const uint8_t* bytes, size_t length) = 0;
  // Appends zero bytes until the length is a multiple of `alignment`.
  virtual void AlignWrite(uint8_t alignment) = 0;
};

class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  uint8_t GetByte() override;
  void GetBytes(uint8_t* buffer, size_t length) override;
  void AlignRead(uint8_t alignment) override;
  size_t Remaining() const override { return position_ < size_ ? size_ - position_ : 0; }

 private:
  const uint8_t* bytes_;  // not owned
  size_t size_;
  size_t position_ = 0;
};

class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* bytes) : bytes_(bytes) {}

  // Storage the bytes outgrow is wiped before it is freed: replies carry
  // secrets.
  void PutByte(uint8_t byte) override;
  void PutBytes(const uint8_t* bytes, size_t length) override;
  void AlignWrite(uint8_t alignment) override;

 private:
  void MakeRoom(size_t length);

  std::vector<uint8_t>* bytes_;  // not owned
};

}  // namespace quillmar
