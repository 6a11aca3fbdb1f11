// The platform-thread extensions of the stand-in, over HostThread.
#include <quillmar_host_threads.h>

#include "host/host_thread.h"

using quillmar::host::HostThread;

namespace {

HostThread* FromRef(QuillmarHostThreadRef ref) { return reinterpret_cast<HostThread*>(ref); }

}  // namespace

QuillmarHostThreadRef QuillmarHostCurrentPlatformThread(void) {
  HostThread* thread = HostThread::Current();
  if (thread == nullptr) return nullptr;
  thread->AddRef();
  return reinterpret_cast<QuillmarHostThreadRef>(thread);
}

void QuillmarHostThreadRelease(QuillmarHostThreadRef thread) {
  if (thread != nullptr) FromRef(thread)->Release();
}

bool QuillmarHostThreadIsCurrent(QuillmarHostThreadRef thread) {
  return thread != nullptr && FromRef(thread)->IsCurrent();
}

bool QuillmarHostThreadPost(QuillmarHostThreadRef thread, void (*task)(void*), void* data) {
  if (thread == nullptr) return false;
  return FromRef(thread)->Post([task, data] { task(data); });
}
