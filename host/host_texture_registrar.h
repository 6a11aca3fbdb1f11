// The texture registrar stub: the plug-in never uses textures, so it only
// hands out ids and remembers which are registered.
#pragma once

#include <flutter_windows.h>

#include <cstdint>
#include <mutex>
#include <set>

namespace quillmar::host {

// Created by HostEngine; called from any thread; mutex_ guards the ids.
class HostTextureRegistrar {
 public:
  static HostTextureRegistrar* FromRef(FlutterDesktopTextureRegistrarRef ref) {
    return reinterpret_cast<HostTextureRegistrar*>(ref);
  }
  FlutterDesktopTextureRegistrarRef ref() {
    return reinterpret_cast<FlutterDesktopTextureRegistrarRef>(this);
  }

  int64_t Register() {
    std::lock_guard lock(mutex_);
    ids_.insert(next_id_);
    return next_id_++;
  }
  bool IsRegistered(int64_t id) const {
    std::lock_guard lock(mutex_);
    return ids_.count(id) != 0;
  }
  bool Unregister(int64_t id) {
    std::lock_guard lock(mutex_);
    return ids_.erase(id) != 0;
  }

 private:
  mutable std::mutex mutex_;
  int64_t next_id_ = 1;
  std::set<int64_t> ids_;
};

}  // namespace quillmar::host
