#include "common/failure_message.h"

#include <new>
#include <stdexcept>
#include <variant>

namespace quillmar {

std::string DescribeCurrentFailure(const char* unknown) {
  try {
    throw;
  } catch (const std::bad_variant_access&) {
    return "bad variant access";
  } catch (const std::bad_alloc&) {
    return "bad allocation";
  } catch (const std::out_of_range& error) {
    std::string text = error.what();
    if (text.rfind("basic_string::", 0) == 0) return "invalid string position";
    return text;
  } catch (const std::exception& error) {
    return error.what();
  } catch (const std::string& text) {
    return text;
  } catch (const char* text) {
    return text != nullptr ? text : "";
  } catch (...) {
    return unknown;
  }
}

}  // namespace quillmar
