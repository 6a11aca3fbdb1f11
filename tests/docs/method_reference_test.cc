// The method reference and the formats page name exactly the methods the
// dispatcher serves, plus the one call the library makes on its own.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "plugin/dispatch_table.h"

namespace quillmar {
namespace {

std::string ReadDocument(const std::string& name) {
  std::ifstream file(std::string(QUILLMAR_SOURCE_DIR) + "/docs/" + name);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Method names are the camel-case words in plain double quotes; argument
// keys and other literals sit inside backticks, which are dropped first.
std::set<std::string> QuotedMethodNames(const std::string& document) {
  std::string prose = std::regex_replace(document, std::regex("`[^`\n]*`"), "");
  std::set<std::string> names;
  std::regex quoted("\"([a-z][A-Za-z0-9]*)\"");
  for (auto it = std::sregex_iterator(prose.begin(), prose.end(), quoted);
       it != std::sregex_iterator(); ++it) {
    names.insert((*it)[1]);
  }
  return names;
}

std::set<std::string> SectionHeadings(const std::string& document) {
  std::set<std::string> names;
  std::regex heading("\n### \"([A-Za-z0-9]+)\"\n");
  for (auto it = std::sregex_iterator(document.begin(), document.end(), heading);
       it != std::sregex_iterator(); ++it) {
    names.insert((*it)[1]);
  }
  return names;
}

std::set<std::string> ServedNames() {
  std::set<std::string> names;
  for (const DispatchEntry& entry : kDispatchTable) names.insert(std::string(entry.method_name));
  return names;
}

TEST(MethodReferenceTest, HasOneSectionPerServedMethodAndTheProgressCall) {
  std::string document = ReadDocument("methods.md");
  ASSERT_FALSE(document.empty());
  std::set<std::string> expected = ServedNames();
  expected.insert("storeUpdateProgress");
  EXPECT_EQ(SectionHeadings(document), expected);
  EXPECT_EQ(QuotedMethodNames(document), expected);
}

TEST(MethodReferenceTest, FormatsPageNamesOnlyServedMethods) {
  std::string document = ReadDocument("formats.md");
  ASSERT_FALSE(document.empty());
  std::set<std::string> named = QuotedMethodNames(document);
  std::set<std::string> served = ServedNames();
  for (const std::string& name : named) EXPECT_TRUE(served.count(name)) << name;
  for (const char* writer : {"encryptToStringWithKey", "decryptStringWithKey",
                             "encryptToStringWithPassword", "decryptStringWithPassword"}) {
    EXPECT_TRUE(named.count(writer)) << writer;
  }
}

}  // namespace
}  // namespace quillmar
