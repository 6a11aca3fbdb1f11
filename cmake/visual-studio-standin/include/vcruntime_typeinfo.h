// type_info as Microsoft's runtime declares it (in the global namespace, the
// decorated name beside the undecorated one), and the failed casts.
#pragma once

#include <vcruntime_exception.h>

#pragma pack(push, _CRT_PACKING)

extern "C" {
struct __std_type_info_data {
  const char* _UndecoratedName;
  const char _DecoratedName[1];
};
_VCRTIMP int __cdecl __std_type_info_compare(const __std_type_info_data* lhs,
                                             const __std_type_info_data* rhs);
_VCRTIMP size_t __cdecl __std_type_info_hash(const __std_type_info_data* data);
_VCRTIMP const char* __cdecl __std_type_info_name(const __std_type_info_data* data,
                                                  struct __type_info_node* root_node);
extern struct __type_info_node __type_info_root_node;
}

extern "C++" {
class type_info {
 public:
  type_info(const type_info&) = delete;
  type_info& operator=(const type_info&) = delete;
  virtual ~type_info() noexcept;

  size_t hash_code() const noexcept { return __std_type_info_hash(&_Data); }
  bool operator==(const type_info& other) const noexcept {
    return __std_type_info_compare(&_Data, &other._Data) == 0;
  }
  bool before(const type_info& other) const noexcept {
    return __std_type_info_compare(&_Data, &other._Data) < 0;
  }
  const char* name() const noexcept { return __std_type_info_name(&_Data, &__type_info_root_node); }
  const char* raw_name() const noexcept { return _Data._DecoratedName; }

 private:
  mutable __std_type_info_data _Data;
};

namespace std {
using ::type_info;

// Without exceptions the STL's <typeinfo> defines the failed casts itself.
#if _HAS_EXCEPTIONS
class bad_cast : public exception {
 public:
  bad_cast() noexcept : exception("bad cast", 1) {}
  static bad_cast __construct_from_string_literal(const char* const message) noexcept {
    return bad_cast(message, 1);
  }

 private:
  bad_cast(const char* const message, int) noexcept : exception(message, 1) {}
};

class bad_typeid : public exception {
 public:
  bad_typeid() noexcept : exception("bad typeid", 1) {}
  static bad_typeid __construct_from_string_literal(const char* const message) noexcept {
    return bad_typeid(message, 1);
  }

 private:
  bad_typeid(const char* const message, int) noexcept : exception(message, 1) {}
};
#endif
}  // namespace std
}

#pragma pack(pop)
