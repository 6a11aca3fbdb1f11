// Runs win32_probe.exe, the second program of the backends' tests, beside
// the test program, and reads its "key value" lines.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillmar::windows_test {

using ProbeOutput = std::map<std::string, std::string>;

// Runs the probe with `arguments` and waits for it to end. An empty
// map when it could not run or failed.
ProbeOutput RunProbe(const std::vector<std::string>& arguments);

// Hex of the little-endian UTF-16 code units, as the probe takes and prints
// texts; "-" for the empty text.
std::string HexOfUnits(std::u16string_view text);
// Hex of bytes; "-" for none.
std::string HexOfBytes(std::string_view bytes);

}  // namespace quillmar::windows_test
