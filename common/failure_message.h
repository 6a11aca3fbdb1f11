// The message of a failure that escapes a handler, by what was thrown.
#pragma once

#include <string>

namespace quillmar {

inline constexpr char kNativeExceptionCode[] = "QUILLMAR_NATIVE_CPP_EXCEPTION";

// The text of the exception being handled, to be called inside a handler: a
// standard exception's text (with the system's own texts for a bad variant
// access, a bad allocation and a substring past the end), a thrown
// std::string or C string, or `unknown` for anything else. It rethrows the
// handled exception itself: Microsoft's runtime as Wine gives it copies an
// exception raised by std::rethrow_exception badly into a new
// std::current_exception.
std::string DescribeCurrentFailure(const char* unknown = "cpp_unknown_exception");

}  // namespace quillmar
