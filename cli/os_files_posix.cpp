// SPDX-License-Identifier: MIT
#include "os_files.hpp"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere::cli::os {

std::filesystem::path PathFromUtf8(std::string_view name) {
  return std::filesystem::path(std::string(name));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  return path.string();
}

int OpenForReading(const std::string& path) noexcept {
  return open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
}

bool IsOpen(int descriptor) noexcept {
  return fcntl(descriptor, F_GETFD) != -1;
}

DeviceOpening OpenUnlessRegularFile(const std::string& path) noexcept {
  struct stat facts = {};
  if (stat(path.c_str(), &facts) != 0 || S_ISREG(facts.st_mode)) {
    return {};
  }
  const int descriptor = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return {DeviceOpening::Found::kCannotOpen, -1};
  }
  return {DeviceOpening::Found::kOpened, descriptor};
}

std::ptrdiff_t WriteSome(int descriptor, const char* bytes, std::size_t size) noexcept {
  for (;;) {
    const ssize_t written = write(descriptor, bytes, size);
    if (written >= 0 || errno != EINTR) {
      return written;
    }
  }
}

bool SyncFile(int descriptor) noexcept {
  return fsync(descriptor) == 0;
}

bool Close(int descriptor) noexcept {
  return close(descriptor) == 0;
}

std::ptrdiff_t ReadSome(int descriptor, char* buffer, std::size_t size) noexcept {
  for (;;) {
    const ssize_t got = read(descriptor, buffer, size);
    if (got >= 0 || errno != EINTR) {
      return got;
    }
  }
}

bool IsRegularFile(int descriptor) noexcept {
  struct stat facts = {};
  return fstat(descriptor, &facts) == 0 && S_ISREG(facts.st_mode);
}

std::optional<FileIdentity> IdentityOf(int descriptor) noexcept {
  struct stat facts = {};
  if (fstat(descriptor, &facts) != 0 || !S_ISREG(facts.st_mode)) {
    return std::nullopt;
  }
  return FileIdentity{static_cast<std::uint64_t>(facts.st_dev),
                      static_cast<std::uint64_t>(facts.st_ino),
                      static_cast<std::uint64_t>(facts.st_size),
                      std::int64_t{facts.st_mtim.tv_sec} * 1'000'000'000 + facts.st_mtim.tv_nsec};
}

std::int64_t Position(int descriptor) noexcept {
  return lseek(descriptor, 0, SEEK_CUR);
}

bool Seek(int descriptor, std::int64_t position) noexcept {
  return lseek(descriptor, static_cast<off_t>(position), SEEK_SET) == position;
}

void StartWriteback([[maybe_unused]] int descriptor, [[maybe_unused]] std::uint64_t offset,
                    [[maybe_unused]] std::uint64_t length) noexcept {
#ifdef __linux__
  sync_file_range(descriptor, static_cast<off64_t>(offset), static_cast<off64_t>(length),
                  SYNC_FILE_RANGE_WRITE);
#endif
}

} // namespace quillmere::cli::os
