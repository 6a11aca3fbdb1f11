// Slicing and joining of byte buffers (DataReader and DataWriter). Each
// object belongs to the one call that makes it; neither is shared.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/buffer.h"
#include "platform/platform_error.h"

namespace quillmar::platform {

// Reads consecutive slices from the start of a buffer it does not own.
class DataReader {
 public:
  static DataReader FromBuffer(const Buffer& buffer) { return DataReader(buffer); }

  // The next `count` bytes. Raises kEBounds when fewer remain.
  Buffer ReadBuffer(uint32_t count) {
    if (count > buffer_->size() - position_) {
      throw PlatformError(kEBounds,
                          PlatformString(u"The buffer holds fewer bytes than were asked for."));
    }
    Buffer slice(buffer_->data() + position_, count);
    position_ += count;
    return slice;
  }

  void Close() { position_ = buffer_->size(); }

 private:
  explicit DataReader(const Buffer& buffer) : buffer_(&buffer) {}

  const Buffer* buffer_;  // not owned
  size_t position_ = 0;
};

// Collects buffers in order into one buffer.
class DataWriter {
 public:
  void WriteBuffer(const Buffer& part) {
    size_t start = joined_.size();
    Buffer grown(start + part.size());
    std::copy(joined_.data(), joined_.data() + start, grown.data());
    std::copy(part.data(), part.data() + part.size(), grown.data() + start);
    joined_ = std::move(grown);
  }

  // The bytes written so far; the writer is left empty.
  Buffer DetachBuffer() { return std::move(joined_); }

  void Close() { joined_ = Buffer(); }

 private:
  Buffer joined_;
};

}  // namespace quillmar::platform
