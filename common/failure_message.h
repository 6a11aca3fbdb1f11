// The message of a failure that escapes a handler, by what was thrown.
#pragma once

#include <exception>
#include <string>

namespace quillmar {

inline constexpr char kNativeExceptionCode[] = "QUILLMAR_NATIVE_CPP_EXCEPTION";

// A standard exception's text (with the system's own texts for a bad
// variant access, a bad allocation and a substring past the end), a thrown
// std::string or C string, or "cpp_unknown_exception" for anything else.
std::string DescribeFailure(std::exception_ptr failure);

}  // namespace quillmar
