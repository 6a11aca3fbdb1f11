// std::exception and the allocation failures as Microsoft's runtime declares
// them for the STL: a message pointer and an ownership flag, a virtual what().
// Wine's eh.h gives terminate and its handlers C++ linkage; the UCRT's
// declare them in C, the names ucrtbase.dll exports.
#pragma once

extern "C" {
#include <eh.h>
}
#include <vcruntime.h>

#pragma pack(push, _CRT_PACKING)

extern "C" {
struct __std_exception_data {
  const char* _What;
  bool _DoFree;
};
_VCRTIMP void __cdecl __std_exception_copy(const __std_exception_data* from,
                                           __std_exception_data* to);
_VCRTIMP void __cdecl __std_exception_destroy(__std_exception_data* data);
_ACRTIMP terminate_handler __cdecl _get_terminate(void);
_ACRTIMP unexpected_handler __cdecl _get_unexpected(void);
}

// Without exceptions (_HAS_EXCEPTIONS=0, as Flutter builds a plug-in) the
// STL's <exception> defines these classes itself.
#if _HAS_EXCEPTIONS
extern "C++" {
namespace std {

class exception {
 public:
  exception() noexcept : _Data() {}
  explicit exception(const char* const message) noexcept : _Data() {
    __std_exception_data from = {message, true};
    __std_exception_copy(&from, &_Data);
  }
  exception(const char* const message, int) noexcept : _Data() { _Data._What = message; }
  exception(const exception& other) noexcept : _Data() {
    __std_exception_copy(&other._Data, &_Data);
  }
  exception& operator=(const exception& other) noexcept {
    if (this != &other) {
      __std_exception_destroy(&_Data);
      __std_exception_copy(&other._Data, &_Data);
    }
    return *this;
  }
  virtual ~exception() noexcept { __std_exception_destroy(&_Data); }
  [[nodiscard]] virtual const char* what() const {
    return _Data._What ? _Data._What : "Unknown exception";
  }

 private:
  __std_exception_data _Data;
};

class bad_exception : public exception {
 public:
  bad_exception() noexcept : exception("bad exception", 1) {}
};

class bad_alloc : public exception {
 public:
  bad_alloc() noexcept : exception("bad allocation", 1) {}

 private:
  friend class bad_array_new_length;
  bad_alloc(const char* const message) noexcept : exception(message, 1) {}
};

class bad_array_new_length : public bad_alloc {
 public:
  bad_array_new_length() noexcept : bad_alloc("bad array new length") {}
};

}  // namespace std
}
#endif

#pragma pack(pop)
