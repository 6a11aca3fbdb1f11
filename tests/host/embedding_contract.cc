// Compiles only: the host stand-in's header against the current embedding's
// declarations. A function declared with other parameters or another result
// is a conflicting C declaration, so the build fails.
#include <flutter_windows.h>

#include <cstddef>
#include <type_traits>

// The message struct is defined once; its layout is compared below.
#define QUILLMAR_CURRENT_EMBEDDING_TYPES_
#include "tests/embedding_contract/flutter_windows.h"

namespace {

using Message = FlutterDesktopMessage;
static_assert(sizeof(Message) == 5 * sizeof(void*));
static_assert(offsetof(Message, struct_size) == 0);
static_assert(offsetof(Message, channel) == sizeof(void*));
static_assert(offsetof(Message, message) == 2 * sizeof(void*));
static_assert(offsetof(Message, message_size) == 3 * sizeof(void*));
static_assert(offsetof(Message, response_handle) == 4 * sizeof(void*));
static_assert(std::is_same_v<decltype(Message::message_size), size_t>);
static_assert(
    std::is_same_v<decltype(Message::response_handle), const FlutterDesktopMessageResponseHandle*>);

}  // namespace
