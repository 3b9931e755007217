// SPDX-License-Identifier: MIT
#include "file_replacement.hpp"

#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere::cli::os {

bool RenameOver(const std::string& from, const std::string& to) noexcept {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool TakePermissionsFor(int descriptor, const std::string& target) noexcept {
  struct stat existing = {};
  if (stat(target.c_str(), &existing) != 0) {
    const mode_t mask = umask(0);
    umask(mask);
    return fchmod(descriptor, static_cast<mode_t>(0666) & ~mask) == 0;
  }
  // Where the owner cannot be given, the group may still be; failing both leaves this process's.
  [[maybe_unused]] const bool ownerTaken =
      fchown(descriptor, existing.st_uid, existing.st_gid) == 0 ||
      fchown(descriptor, static_cast<uid_t>(-1), existing.st_gid) == 0;
  return fchmod(descriptor, existing.st_mode & 07777) == 0;
}

void SyncDirectoryOf(const std::string& path) noexcept {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  const char* const directory = parent.empty() ? "." : parent.c_str();
  const int descriptor = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0) {
    fsync(descriptor);
    close(descriptor);
  }
}

} // namespace quillmere::cli::os
