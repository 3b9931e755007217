// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

// The program's version record as Windows reads it from a program file: this test is built with
// the same configured .rc as the window program, by the same resource compiler.
namespace {

class VersionResource : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t path[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, path, MAX_PATH), 0U);
    DWORD ignored = 0;
    record_.resize(GetFileVersionInfoSizeW(path, &ignored));
    ASSERT_FALSE(record_.empty()) << "the program file has no version record";
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(record_.size()), record_.data()));
  }

  // Returns the string `name` of the German (0407) Unicode (04B0) string table, or "(none)".
  std::wstring Value(const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = L"\\StringFileInfo\\040704B0\\" + name;
    if (VerQueryValueW(record_.data(), key.c_str(), &value, &length) == 0 || value == nullptr) {
      return L"(none)";
    }
    return static_cast<const wchar_t*>(value);
  }

  std::vector<unsigned char> record_;
};

// Without `#pragma code_page(65001)` the resource compiler reads the UTF-8 .rc in the ANSI code
// page and "ü" comes out as "Ã¼".
TEST_F(VersionResource, StringsArriveAsWrittenInUtf8) {
  EXPECT_EQ(Value(L"FileDescription"), L"Verschl\u00FCsselungsdemo");
  EXPECT_EQ(Value(L"ProductName"), L"quillmere");
  EXPECT_EQ(Value(L"FileVersion"), L"1.00");
  EXPECT_EQ(Value(L"OriginalFilename"), L"quillmere.exe");
}

TEST_F(VersionResource, NumbersAndIconAreCompiledIn) {
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(record_.data(), L"\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000U);                                // 1.0
  EXPECT_EQ(fixed->dwFileVersionLS, 0U);                                         // .0.0
  EXPECT_NE(FindResourceW(nullptr, L"IDI_ICON1", MAKEINTRESOURCEW(14)), nullptr) // RT_GROUP_ICON
      << "the icon is missing";
}

} // namespace
