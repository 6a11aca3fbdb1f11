// Extensions of the host stand-in beyond the embedding's API: what the
// platform backend needs to treat the host's platform thread as the
// single-threaded apartment (on Windows, COM provides this).
#ifndef QUILLMAR_HOST_THREADS_H_
#define QUILLMAR_HOST_THREADS_H_

#include <stdbool.h>

#include "flutter_windows.h"

#if defined(__cplusplus)
extern "C" {
#endif

typedef struct QuillmarHostThread* QuillmarHostThreadRef;

// The platform thread the caller runs on, with a new reference, or null when
// the caller is not on a host platform thread.
FLUTTER_EXPORT QuillmarHostThreadRef QuillmarHostCurrentPlatformThread(void);

FLUTTER_EXPORT void QuillmarHostThreadRelease(QuillmarHostThreadRef thread);

// True when the caller runs on `thread`.
FLUTTER_EXPORT bool QuillmarHostThreadIsCurrent(QuillmarHostThreadRef thread);

// Queues `task(data)` on `thread`, behind what is queued already. A task
// accepted here always runs, also when the engine stops meanwhile, so a
// caller may wait for it. False once the thread is stopping (the task is
// then not run).
FLUTTER_EXPORT bool QuillmarHostThreadPost(QuillmarHostThreadRef thread, void (*task)(void*),
                                           void* data);

#if defined(__cplusplus)
}  // extern "C"
#endif

#endif  // QUILLMAR_HOST_THREADS_H_
