#include "tests/win32_services_windows/probe_process.h"

#include <sstream>

#include "tests/support/windows_process.h"

namespace quillmar::windows_test {

ProbeOutput RunProbe(const std::vector<std::string>& arguments) {
  testing::ProgramRun run =
      testing::RunProgram(testing::ThisProgramFolder() + "\\win32_probe.exe", arguments);
  if (!run.started || run.exit_code != 0) return {};
  ProbeOutput lines;
  std::istringstream stream(testing::WithoutCarriageReturns(run.output));
  for (std::string line; std::getline(stream, line);) {
    size_t space = line.find(' ');
    if (space != std::string::npos) lines[line.substr(0, space)] = line.substr(space + 1);
  }
  return lines;
}

std::string HexOfUnits(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return HexOfBytes(bytes);
}

std::string HexOfBytes(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text.empty() ? "-" : text;
}

}  // namespace quillmar::windows_test
