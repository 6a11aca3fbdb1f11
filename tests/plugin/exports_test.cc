#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The names of the symbols the plug-in's shared library defines in its
// dynamic symbol table.
std::vector<std::string> DefinedDynamicSymbols(const std::string& library) {
  std::string command = "nm -D --defined-only --format=posix '" + library + "'";
  FILE* pipe = popen(command.c_str(), "r");
  std::vector<std::string> names;
  if (pipe == nullptr) return names;
  char line[4096];
  while (fgets(line, sizeof(line), pipe) != nullptr) {
    std::istringstream fields(line);
    std::string name, type;
    fields >> name >> type;
    // Version-definition entries carry no code or data.
    if (type != "A") names.push_back(name);
  }
  EXPECT_EQ(pclose(pipe), 0) << command;
  return names;
}

TEST(ExportsTest, TheRegistrationFunctionIsTheOnlyExport) {
  EXPECT_EQ(DefinedDynamicSymbols(QUILLMAR_PLUGIN_LIBRARY),
            std::vector<std::string>{"QuillmarCoreWindowsRegisterWithRegistrar"});
}

}  // namespace
