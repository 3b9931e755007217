// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The operating system's calls beneath the tool's files, one small function each, so that each
// platform's version of a call stays in one place. File names are UTF-8 on every system; on
// Windows they reach the wide-character calls. Files are the C runtime's int descriptors. A
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

// Returns N when `path` names one of this process's own descriptors: "/dev/stdin", "/dev/stdout",
// "/dev/stderr", "/dev/fd/N", "/proc/self/fd/N", "/proc/<this process>/fd/N", or a symbolic link
// that leads to one of them. Otherwise, and on systems without such names, returns nullopt. Says
// nothing about whether N is open.
std::optional<int> OwnDescriptorName(const std::string& path);

// Returns true when `descriptor` is open in this process.
bool IsOpen(int descriptor) noexcept;

// When `path` names something that exists and is not a regular file (a device such as /dev/null,
// NUL or CON, a pipe, a socket), opens it for writing, without truncating it, and returns the
// descriptor, or -1 when that fails. Returns nullopt for a regular file or a name not yet taken.
std::optional<int> OpenUnlessRegularFile(const std::string& path) noexcept;

// Creates `path`, which must not exist yet, readable and writable by its owner only; returns the
// descriptor or -1, with errno EEXIST where the name is taken. Until RemoveTemporary or
// ReplaceWithTemporary, every signal whose default action ends the process (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, the user and timer signals, ...) removes the file before the
// process ends as that default action ends it, unless the signal was ignored or handled when the
// file was made; on Windows a console event (Ctrl+C, Ctrl+Break, the console closing) removes it
// and ends the process with status 130. One such file exists at a time.
int CreateTemporary(const std::string& path) noexcept;

// Removes the file CreateTemporary made; an interrupt no longer touches it.
void RemoveTemporary(const std::string& path) noexcept;

// Renames the file CreateTemporary made over `target`, replacing it in one step; on Windows the
// new file keeps the attributes and access rights of the one it replaces. Returns false on
// failure, when the temporary file is still there.
bool ReplaceWithTemporary(const std::string& temporary, const std::string& target) noexcept;

// Writes all of `bytes`, continuing after partial writes; returns false on the first failure.
bool WriteFully(int descriptor, std::string_view bytes) noexcept;

// Makes the content of `descriptor` durable on its disk; returns false on failure.
bool SyncFile(int descriptor) noexcept;

// Flushes the directory holding `path`, so that a rename in it survives a crash. Best effort: a
// directory that cannot be flushed is left as it is.
void SyncDirectoryOf(const std::string& path) noexcept;

// Gives `descriptor` the permissions of the existing file `target`, and its owner and group where
// this process may; for a target that does not exist yet, the permissions of a new file (read and
// write for all, less the process's file creation mask). Returns false when they cannot be set.
// Does nothing on Windows, where ReplaceWithTemporary carries them over.
bool TakePermissionsFor(int descriptor, const std::string& target) noexcept;

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
