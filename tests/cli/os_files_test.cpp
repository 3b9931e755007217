// SPDX-License-Identifier: MIT
#include "cli/os_files.hpp"
#include "cli/temporary_file.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillmere::cli {
namespace {

namespace fs = std::filesystem;

// A scratch directory of its own for each test, under a name beyond ASCII.
class OsFiles : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           fs::path(u8"quillmere_os_files_test_Łódź_" +
                    std::u8string(reinterpret_cast<const char8_t*>(
                        ::testing::UnitTest::GetInstance()->current_test_info()->name())));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Returns the UTF-8 name of the file `name` (UTF-8) in the scratch directory.
  std::string In(const std::string& name) const {
    const std::u8string directory = dir_.u8string();
    return std::string(directory.begin(), directory.end()) + "/" + name;
  }

  fs::path dir_;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST_F(OsFiles, PathsFromUtf8NameTheFilesTheSystemShows) {
  const std::string name = In("Grüße-😀.txt");
  const fs::path path = os::PathFromUtf8(name);
  std::ofstream(path) << "x";
  EXPECT_TRUE(fs::exists(dir_ / fs::path(u8"Grüße-😀.txt")));
  EXPECT_EQ(os::Utf8FromPath(path), name);
  const int file = os::OpenForReading(name);
  ASSERT_GE(file, 0);
  char first = 0;
  EXPECT_EQ(os::ReadSome(file, &first, 1), 1);
  EXPECT_EQ(first, 'x');
  os::Close(file);
  errno = 0;
  EXPECT_EQ(os::OpenForReading(In("fehlt-ä.txt")), -1);
  EXPECT_EQ(errno, ENOENT);
}

// A temporary file is never another file taken over: with the Microsoft C runtime,
// fopen(…, "wbx") was not exclusive and truncated a file of the same name.
TEST_F(OsFiles, CreateTemporaryMakesTheNamedFileOnlyWhereNoneExists) {
  const std::string name = In("Zwischenstand-ł");
  os::TemporaryFile file(name);
  ASSERT_GE(file.Descriptor(), 0) << std::strerror(errno);
  EXPECT_TRUE(os::WriteFully(file.Descriptor(), "neu"));
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(Slurp(dir_ / fs::path(u8"Zwischenstand-ł")), "neu");

  errno = 0;
  {
    const os::TemporaryFile taken(name);
    EXPECT_EQ(taken.Descriptor(), -1);
    EXPECT_EQ(errno, EEXIST);
  }
  EXPECT_EQ(Slurp(dir_ / fs::path(u8"Zwischenstand-ł")), "neu");
  file.Remove();
  EXPECT_FALSE(fs::exists(dir_ / fs::path(u8"Zwischenstand-ł")));
}

#ifdef _WIN32
// Ctrl+C reaches a console program as a call of its handler on a thread of its own. The helper
// that sends it to its console is started with a console of its own, so that no other program
// receives it.
TEST_F(OsFiles, CtrlCRemovesTheTemporaryFileAndEndsWithStatus130) {
  const std::string name = In("unterbrochen-ä");
  std::wstring line = L"\"" + fs::absolute(QUILLMERE_CONSOLE_EVENT_CHILD).wstring() + L"\" \"" +
                      os::PathFromUtf8(name).wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  ASSERT_NE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                           nullptr, &startup, &started),
            0);
  WaitForSingleObject(started.hProcess, 60000);
  DWORD status = 0;
  GetExitCodeProcess(started.hProcess, &status);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  EXPECT_EQ(status, 130U) << "2 to 4: a step of the helper failed; 0: no handler came";
  EXPECT_FALSE(fs::exists(os::PathFromUtf8(name)));
}
#endif

} // namespace
} // namespace quillmere::cli
