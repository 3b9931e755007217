// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The operating system's calls on descriptors and names beneath the tool's files, one small
// function each, with each platform's versions in a source of their own (os_files_posix.cpp,
// os_files_windows.cpp) and what they share in os_files.cpp. File names are UTF-8 on every system;
// on Windows they reach the wide-character calls. Files are the C runtime's int descriptors. A
// function that fails returns false, -1 or nullptr and leaves the reason in errno.
namespace quillmere::cli::os {

// Returns the path the UTF-8 `name` names. A std::string given to std::filesystem::path directly
// would be read in the ANSI code page on Windows.
std::filesystem::path PathFromUtf8(std::string_view name);

// Returns the name of `path` in UTF-8, as PathFromUtf8 takes it back.
std::string Utf8FromPath(const std::filesystem::path& path);

// Opens the existing file `path` for reading bytes as they are; returns the descriptor or -1. On
// Windows, other programs and this one may still write, rename or replace the file while it is
// open.
int OpenForReading(const std::string& path) noexcept;

// Returns true when `descriptor` is open in this process.
bool IsOpen(int descriptor) noexcept;

// What OpenUnlessRegularFile found under a name.
struct DeviceOpening {
  enum class Found {
    kFileOrNothing, // a regular file, or a name not yet taken: to be replaced, so nothing is opened
    kOpened,        // something else, now open for writing as `descriptor`
    kCannotOpen,    // something else, which cannot be opened for writing; errno says why
  };
  Found found = Found::kFileOrNothing;
  int descriptor = -1; // for kOpened
};

// When `path` names something that exists and is not a regular file (a device such as /dev/null,
// NUL or CON, a pipe, a socket), opens it for writing, without truncating it. A directory cannot
// be opened so.
DeviceOpening OpenUnlessRegularFile(const std::string& path) noexcept;

// Writes at most `size` bytes from `bytes`; returns how many, or -1 on failure. An interrupted
// write is tried again.
std::ptrdiff_t WriteSome(int descriptor, const char* bytes, std::size_t size) noexcept;

// Writes all of `bytes`, continuing after partial writes; returns false on the first failure,
// with errno EIO for a write that took nothing.
bool WriteFully(int descriptor, std::string_view bytes) noexcept;

// Makes the content of `descriptor` durable on its disk; returns false on failure.
bool SyncFile(int descriptor) noexcept;

// Closes a descriptor; returns false when the close reports an error, such as a failed
// delayed write.
bool Close(int descriptor) noexcept;

// Reads at most `size` bytes into `buffer`; returns how many, 0 at the end, or -1 on failure.
std::ptrdiff_t ReadSome(int descriptor, char* buffer, std::size_t size) noexcept;

// Returns true when `descriptor` is a regular file, which can be read again from a position.
bool IsRegularFile(int descriptor) noexcept;

// What tells one file and one state of its content from another: the device and inode (on
// Windows the volume serial number and file index), the size and the time of the last write (in
// nanoseconds on POSIX systems, in 100 ns steps on Windows).
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified = 0;
  bool operator==(const FileIdentity&) const = default;
  // Returns true when both name the same file, whatever its state.
  [[nodiscard]] bool SameFileAs(const FileIdentity& other) const noexcept {
    return device == other.device && inode == other.inode;
  }
};

// Returns the identity of the regular file open as `descriptor`; nullopt for anything else (a
// pipe, a terminal, a device) and on failure.
std::optional<FileIdentity> IdentityOf(int descriptor) noexcept;

// Returns the position of `descriptor` in its file, or -1.
std::int64_t Position(int descriptor) noexcept;

// Moves `descriptor` to `position` in its file; returns false on failure.
bool Seek(int descriptor, std::int64_t position) noexcept;

// Starts writing the `length` bytes from `offset` of the file `descriptor` to its disk without
// waiting for them, so that a later SyncFile has less left to wait for. Best effort: does nothing
// where the system offers no such call.
void StartWriteback(int descriptor, std::uint64_t offset, std::uint64_t length) noexcept;

} // namespace quillmere::cli::os
