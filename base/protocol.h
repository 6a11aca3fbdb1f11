// What both ends of the plug-in's channel agree on: its name and the
// defaults of arguments a caller may leave out. The library, the host
// stand-in's driver and the command-line host all read them from here.
#pragma once

#include <cstdint>

namespace quillmar::base {

inline constexpr char kChannelName[] = "quillmar_core_windows";

// "secondsToLive" of "copySensitiveDataToClipboard" when it is left out.
inline constexpr int32_t kDefaultClipboardSecondsToLive = 30;

}  // namespace quillmar::base
