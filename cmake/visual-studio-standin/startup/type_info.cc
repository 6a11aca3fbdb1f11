// What type_info needs of each module: its destructor and vftable, and the
// root of the cache of undecorated names that type_info::name() fills,
// freed when the module ends (ucrtbase.dll keeps the list as an
// SLIST_HEADER).
#include <typeinfo>

#include "startup.h"

struct __type_info_node {
  alignas(16) unsigned long long header[2];
};
extern "C" __type_info_node __type_info_root_node = {};

extern "C" __declspec(dllimport) void __cdecl __std_type_info_destroy_list(__type_info_node* root);

// vcruntime140.dll exports neither the destructor nor the vftable (one
// slot: the deleting destructor); Visual Studio's static library gives both.
type_info::~type_info() noexcept {}

namespace {

void* DeletingDestructor(type_info* self, unsigned int flags) {
  self->type_info::~type_info();
  if (flags & 1) operator delete(self);
  return self;
}

}  // namespace

using TypeInfoSlot = void* (*)(type_info*, unsigned int);
extern "C" const TypeInfoSlot quillmar_type_info_vftable[1] __asm__("??_7type_info@@6B@") = {
    DeletingDestructor};

extern "C" void quillmar_end_type_names(void) {
  __std_type_info_destroy_list(&__type_info_root_node);
}
