#include "channel/byte_streams.h"

#include <cstring>

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

void ByteBufferStreamWriter::PutBytes(const uint8_t* bytes, size_t length) {
  if (length == 0) return;
  bytes_->insert(bytes_->end(), bytes, bytes + length);
}

void ByteBufferStreamWriter::AlignWrite(uint8_t alignment) {
  size_t misalignment = bytes_->size() % alignment;
  if (misalignment != 0) bytes_->resize(bytes_->size() + alignment - misalignment, 0);
}

}  // namespace quillmar
