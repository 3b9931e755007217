// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Starts a program for the tests without a shell, with the platform's own calls, so that the
// command-line tests run alike on Windows and on POSIX systems.
namespace quillmere::testing {

struct ProgramResult {
  int status = -1; // the exit status; -1 when the program could not be started; on POSIX
                   // systems 128 + N when signal N ended it, as a shell reports it
  std::string out; // what it wrote to standard output
  std::string err; // what it wrote to standard error
};

// Runs `program` with `arguments` (UTF-8, each passed exactly as given) in the folder
// `directory`, with the bytes of `input` as its standard input, waits for it to end and returns
// its status and output. Standard input, output and error are files, never the test's own streams.
ProgramResult RunProgram(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& directory, std::string_view input = {});

} // namespace quillmere::testing
