// SPDX-License-Identifier: MIT
#include "own_descriptors.hpp"

#ifndef _WIN32
#include <filesystem>
#include <string_view>
#include <system_error>

#include <unistd.h>
#endif

namespace quillmere::cli::os {

#ifdef _WIN32

std::optional<int> OwnDescriptorName(const std::string&) {
  return std::nullopt;
}

#else

namespace {

namespace fs = std::filesystem;

// Returns N when `path`, absolute and lexically normal, is one of the names of descriptor N.
std::optional<int> DescriptorNamedBy(const fs::path& path) {
  const std::string name = path.string();
  if (name == "/dev/stdin") {
    return 0;
  }
  if (name == "/dev/stdout") {
    return 1;
  }
  if (name == "/dev/stderr") {
    return 2;
  }
  const std::string own = "/proc/" + std::to_string(getpid()) + "/fd/";
  for (const std::string_view directory :
       {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
        std::string_view("/proc/thread-self/fd/"), std::string_view(own)}) {
    if (!name.starts_with(directory)) {
      continue;
    }
    const std::string_view digits = std::string_view(name).substr(directory.size());
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    return std::stoi(std::string(digits));
  }
  return std::nullopt;
}

} // namespace

std::optional<int> OwnDescriptorName(const std::string& path) {
  std::error_code error;
  fs::path current = fs::absolute(path, error).lexically_normal();
  // Each step resolves the directories, then at most one link of the last name, checking the
  // name before and after: /dev/fd is itself a link to /proc/self/fd on Linux.
  for (int step = 0; !error && step < 40; ++step) {
    if (const auto descriptor = DescriptorNamedBy(current)) {
      return descriptor;
    }
    current = fs::canonical(current.parent_path(), error) / current.filename();
    if (error) {
      break;
    }
    if (const auto descriptor = DescriptorNamedBy(current)) {
      return descriptor;
    }
    if (!fs::is_symlink(current, error)) {
      break;
    }
    const fs::path link = fs::read_symlink(current, error);
    current = (link.is_absolute() ? link : current.parent_path() / link).lexically_normal();
  }
  return std::nullopt;
}

#endif

} // namespace quillmere::cli::os
