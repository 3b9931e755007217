// SPDX-License-Identifier: MIT
#include "os_files.hpp"

#include "wide_text.hpp"
#include "windows_errors.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace quillmere::cli::os {
namespace {

// Returns a C runtime descriptor that owns `handle`, or -1 after closing it.
int DescriptorFor(HANDLE handle, int flags) {
  const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), flags);
  if (descriptor < 0) {
    CloseHandle(handle);
  }
  return descriptor;
}

} // namespace

std::filesystem::path PathFromUtf8(std::string_view name) {
  return std::filesystem::path(WideFromUtf8(name));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  return Utf8FromWide(path.native());
}

int OpenForReading(const std::string& path) noexcept {
  // Shared for writing and deletion too, as files are on POSIX systems, so that an output written
  // over its own input can replace it while it is still open here.
  const HANDLE handle = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    SetErrnoFromWindowsError(GetLastError());
    return -1;
  }
  return DescriptorFor(handle, _O_RDONLY | _O_BINARY);
}

bool IsOpen(int descriptor) noexcept {
  return _get_osfhandle(descriptor) != -1;
}

DeviceOpening OpenUnlessRegularFile(const std::string& path) noexcept {
  const std::wstring wide = WideFromUtf8(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return {DeviceOpening::Found::kCannotOpen, -1};
  }
  // A device (NUL, CON, COM1, \\.\pipe\...) is known by the type of an open handle, since its
  // name need not exist as a file. Opened this way, a regular file is neither created nor changed.
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return {}; // nothing there yet, or a file whose replacement will say what is wrong
  }
  if (GetFileType(handle) == FILE_TYPE_DISK) {
    CloseHandle(handle);
    return {};
  }
  const int descriptor = DescriptorFor(handle, _O_WRONLY | _O_BINARY);
  if (descriptor < 0) {
    return {DeviceOpening::Found::kCannotOpen, -1};
  }
  return {DeviceOpening::Found::kOpened, descriptor};
}

std::ptrdiff_t WriteSome(int descriptor, const char* bytes, std::size_t size) noexcept {
  return _write(descriptor, bytes, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

bool SyncFile(int descriptor) noexcept {
  return _commit(descriptor) == 0;
}

bool Close(int descriptor) noexcept {
  return _close(descriptor) == 0;
}

std::ptrdiff_t ReadSome(int descriptor, char* buffer, std::size_t size) noexcept {
  return _read(descriptor, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

bool IsRegularFile(int descriptor) noexcept {
  struct _stat64 facts = {};
  return _fstat64(descriptor, &facts) == 0 && (facts.st_mode & _S_IFMT) == _S_IFREG;
}

std::optional<FileIdentity> IdentityOf(int descriptor) noexcept {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  BY_HANDLE_FILE_INFORMATION facts = {};
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
      GetFileInformationByHandle(handle, &facts) == 0 ||
      (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  const auto wide = [](DWORD high, DWORD low) {
    return (std::uint64_t{high} << 32) | std::uint64_t{low};
  };
  return FileIdentity{facts.dwVolumeSerialNumber, wide(facts.nFileIndexHigh, facts.nFileIndexLow),
                      wide(facts.nFileSizeHigh, facts.nFileSizeLow),
                      static_cast<std::int64_t>(wide(facts.ftLastWriteTime.dwHighDateTime,
                                                     facts.ftLastWriteTime.dwLowDateTime))};
}

std::int64_t Position(int descriptor) noexcept {
  return _lseeki64(descriptor, 0, SEEK_CUR);
}

bool Seek(int descriptor, std::int64_t position) noexcept {
  return _lseeki64(descriptor, position, SEEK_SET) == position;
}

// Windows has no call that starts a writeback without waiting for it.
void StartWriteback(int, std::uint64_t, std::uint64_t) noexcept {}

} // namespace quillmere::cli::os
