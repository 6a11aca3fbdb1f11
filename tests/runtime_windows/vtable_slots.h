// The vtable slot of every runtime member the library calls, read in C from
// the vtable structs widl writes beside the C++ declarations: the same
// member order, with no compiler's member-pointer layout involved.
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct QuillmarVtableSlot {
  const char* name;  // "Interface::Member", the C++ spelling
  size_t slot;
};

extern const struct QuillmarVtableSlot kQuillmarVtableSlots[];
extern const size_t kQuillmarVtableSlotCount;

#ifdef __cplusplus
}
#endif
