// SPDX-License-Identifier: MIT
#pragma once

// Runs quillmere-text as a program in a scratch directory of its own for each test: with an
// argument list on every platform, and through a POSIX shell where a test needs redirections,
// descriptors or signals.
#include "run_program.hpp"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::cli {

namespace fs = std::filesystem;
using quillmere::testing::ProgramResult;
using Arguments = std::vector<std::string>;

// Returns the path named by the UTF-8 `name`. A std::string would be read in the ANSI code page on
// Windows; a UTF-8 string of char8_t is read as UTF-8 everywhere.
inline fs::path Utf8Path(std::string_view name) {
  return fs::path(std::u8string(name.begin(), name.end()));
}

// Returns the name of `path` in UTF-8.
inline std::string Utf8Name(const fs::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

inline std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void Store(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Compares two byte strings without printing large ones: on a mismatch, reports their sizes and
// the offset of the first difference.
inline ::testing::AssertionResult SameBytes(const std::string& actual,
                                            const std::string& expected) {
  if (actual == expected) {
    return ::testing::AssertionSuccess();
  }
  const auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  return ::testing::AssertionFailure()
         << actual.size() << " bytes where " << expected.size()
         << " were expected, first difference at offset " << (differ.first - actual.begin());
}

// Runs the tool in a scratch directory; each test gets its own.
class QuillmereText : public ::testing::Test {
protected:
  void SetUp() override {
    const ::testing::TestInfo* const test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("quillmere_text_test_" +
            std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            test->test_suite_name() + "_" + test->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Returns the path of the file `name` (UTF-8) in the scratch directory.
  fs::path In(std::string_view name) const { return dir_ / Utf8Path(name); }

  // Returns the UTF-8 names of the files in the scratch directory, in order.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_)) {
      names.push_back(Utf8Name(entry.path()));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Runs the tool with `arguments` in the scratch directory, `input` on its standard input.
  ProgramResult Run(const Arguments& arguments, std::string_view input = {}) const {
    return quillmere::testing::RunProgram(QUILLMERE_TEXT_EXECUTABLE, arguments, dir_, input);
  }

#ifndef _WIN32
  // Runs `shell` (with $Q standing for the tool) in the scratch directory.
  ProgramResult RunShell(const std::string& shell) const {
    const std::string command = "cd '" + dir_.string() +
                                "' && Q='" QUILLMERE_TEXT_EXECUTABLE "' && (" + shell +
                                ") >.stdout 2>.stderr";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(In(".stdout")), Slurp(In(".stderr"))};
  }
#endif

  // Writes a cover of German prose, its lines joined by `lineEnd`, without a final line end.
  std::string ProseCover(const std::string& name, const std::string& lineEnd = "\n") const {
    std::istringstream lines(Slurp(QUILLMERE_TEST_DATA "/prosa.txt"));
    std::string text;
    for (std::string line; std::getline(lines, line);) {
      text += line + lineEnd;
    }
    text.resize(text.size() - lineEnd.size());
    Store(In(name), text);
    return text;
  }

  fs::path dir_;
};

// Returns `stego` with its no-break spaces made plain again, as UTF-8 bytes.
inline std::string Unhidden(std::string stego) {
  for (std::size_t at; (at = stego.find("\xC2\xA0")) != std::string::npos;) {
    stego.replace(at, 2, " ");
  }
  return stego;
}

} // namespace quillmere::cli
