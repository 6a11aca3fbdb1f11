// Running another Windows program from a test and reading what it prints:
// the second process of cross-process checks under Wine.
#pragma once

#include <string>
#include <vector>

namespace quillmar::testing {

struct ProgramRun {
  bool started = false;
  unsigned long exit_code = 0;
  std::string output;        // standard output, byte for byte
  std::string error_output;  // standard error, byte for byte
};

// Runs `program` with `arguments` (each quoted for the C runtime's parser)
// and `input` on its standard input, waits for it and collects both of its
// output streams.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input = "");

// `text` with each CR LF turned into LF (a C runtime's text-mode output).
std::string WithoutCarriageReturns(std::string text);

// True when this process runs under Wine (ntdll has wine_get_version).
bool RunningUnderWine();

// The folder of this test program.
std::string ThisProgramFolder();

}  // namespace quillmar::testing
