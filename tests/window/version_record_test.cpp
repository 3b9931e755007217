// SPDX-License-Identifier: MIT
#include <quillmere/version.hpp>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const char* path) {
  std::ifstream file(path);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

TEST(VersionRecord, WindowsResourceCarriesTheProjectVersion) {
  const std::string rc = ReadFile(QUILLMERE_RC_FILE);
  ASSERT_FALSE(rc.empty());
  EXPECT_EQ(std::string(quillmere::kVersion), "1.00");
  for (const std::string& expected : std::initializer_list<std::string>{
           "FILEVERSION 1,0,0,0", "PRODUCTVERSION 1,0,0,0", "VALUE \"FileVersion\", \"1.00\"",
           "VALUE \"ProductVersion\", \"1.00\"", "VALUE \"ProductName\", \"quillmere\"",
           "VALUE \"InternalName\", \"quillmere\"", "VALUE \"OriginalFilename\", \"quillmere.exe\"",
           "VALUE \"CompanyName\"", "BLOCK \"040704B0\"", "VALUE \"Translation\", 0x0407, 1200",
           "#pragma code_page(65001)"}) {
    EXPECT_NE(rc.find(expected), std::string::npos) << expected;
  }
  EXPECT_EQ(rc.find('@'), std::string::npos) << "a placeholder was left";
}

TEST(VersionRecord, DesktopEntryAgreesWithTheProgram) {
  const std::string entry = ReadFile(QUILLMERE_DESKTOP_FILE);
  for (const std::string& expected : std::initializer_list<std::string>{
           "[Desktop Entry]", "\nName=quillmere\n", "\nExec=quillmere\n",
           std::string("\nIcon=") + quillmere::kApplicationId + "\n",
           std::string("\nX-Quillmere-Version=") + quillmere::kVersion + "\n"}) {
    EXPECT_NE(entry.find(expected), std::string::npos) << expected;
  }
}

} // namespace
