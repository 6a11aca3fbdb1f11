#include "channel/byte_streams.h"

#include <algorithm>
#include <cstring>

#include "base/secret_memory.h"
#include "channel/diagnostics.h"

namespace quillmar {

uint8_t ByteBufferStreamReader::GetByte() {
  if (position_ >= size_) {
    ReportDiagnostic("Invalid read in StandardCodecByteStreamReader");
    return 0;
  }
  return bytes_[position_++];
}

void ByteBufferStreamReader::GetBytes(uint8_t* buffer, size_t length) {
  if (length > Remaining()) {
    ReportDiagnostic("Invalid read in StandardCodecByteStreamReader");
    return;
  }
  if (length == 0) return;
  std::memcpy(buffer, bytes_ + position_, length);
  position_ += length;
}

void ByteBufferStreamReader::AlignRead(uint8_t alignment) {
  size_t misalignment = position_ % alignment;
  if (misalignment != 0) position_ += alignment - misalignment;
}

void ByteBufferStreamWriter::PutByte(uint8_t byte) {
  MakeRoom(1);
  bytes_->push_back(byte);
}

void ByteBufferStreamWriter::PutBytes(const uint8_t* bytes, size_t length) {
  if (length == 0) return;
  MakeRoom(length);
  bytes_->insert(bytes_->end(), bytes, bytes + length);
}

void ByteBufferStreamWriter::AlignWrite(uint8_t alignment) {
  size_t misalignment = bytes_->size() % alignment;
  if (misalignment == 0) return;
  MakeRoom(alignment - misalignment);
  bytes_->resize(bytes_->size() + alignment - misalignment, 0);
}

// Grows the way the vector would, but wipes the storage it leaves.
void ByteBufferStreamWriter::MakeRoom(size_t length) {
  size_t needed = bytes_->size() + length;
  if (needed <= bytes_->capacity()) return;
  std::vector<uint8_t> grown;
  grown.reserve(std::max(needed, 2 * bytes_->capacity()));
  grown.assign(bytes_->begin(), bytes_->end());
  base::SecureWipe(bytes_->data(), bytes_->size());
  bytes_->swap(grown);
}

}  // namespace quillmar
