// SPDX-License-Identifier: MIT
#pragma once

#include "os_files.hpp"
#include "temporary_file.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The tool's files: reading them piece by piece, and writing them so that a failed or interrupted
// run never leaves half a file behind.
namespace quillmere::cli {

// A failure the tool reports on standard error before it exits with status 1.
class ToolError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Returns true when `path` names standard input or output: "-". An empty path names no file.
bool IsStandardStream(std::string_view path) noexcept;

// Returns the file name `path` as messages show it: as it is, or in single quotes when it is
// empty, holds a control character such as a line end, or is not UTF-8; inside the quotes a
// control character is written as \n, \t, \r or \xHH, a byte of a name that is not UTF-8 as
// \xHH, and a quote or backslash gets a backslash before it.
std::string ShownName(std::string_view path);

// Returns the name of the input file `path` in messages: ShownName of it, or "standard input".
std::string NameForMessages(std::string_view path);

// The most bytes TextReader hands out at once: enough that a read costs little next to what it
// brings, few enough to stay in the processor's cache while the piece is checked and hidden.
inline constexpr std::size_t kPieceBytes = std::size_t{1} << 18;

// The bytes of the file `path`, or of standard input for IsStandardStream paths, in consecutive
// pieces, read with ordinary reads into memory of its own: a file that another program shortens
// meanwhile just ends sooner, which Changed tells. Throws ToolError naming the file when it cannot
// be opened (an empty path as a file that does not exist) or read.
class TextReader {
public:
  explicit TextReader(const std::string& path);
  ~TextReader();
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  // Returns the next piece, of at most kPieceBytes, or an empty piece at the end. The caller may
  // change the piece; it stays valid until the next call.
  std::span<char> Next();

  // Lets Rewind start again from the first byte; call it before the first Next. A regular file is
  // read again; anything else (a pipe, a terminal) is kept in memory as it is read.
  void KeepForRereading();

  // Starts again from the first byte, after KeepForRereading.
  void Rewind();

  // Closes the file now rather than at the end of the reader: Windows cannot replace a file that
  // is open, as hide does when its output is its cover. Nothing may be read after it.
  void Close() noexcept;

  // Returns the name of the file for messages: its path, or "standard input".
  [[nodiscard]] const std::string& Name() const noexcept { return name_; }

  // Returns true when the regular file being read is no longer the one opened as it was then: its
  // device, inode, size or time of last write differ (on Windows its volume, file index, size or
  // last write time), or cannot be learnt any more. Always false for a pipe or a terminal. Call it
  // after the last read and before Close.
  [[nodiscard]] bool Changed() const noexcept;

private:
  friend class AtomicOutput;

  std::span<char> Fill(char* buffer);

  std::string name_;
  int descriptor_ = -1;
  bool ownsDescriptor_ = false;
  std::unique_ptr<char[]> buffer_;
  std::int64_t start_ = -1; // where a regular file is read again from
  bool keeping_ = false;    // the pieces are kept in memory, for a source that cannot be reread
  bool replaying_ = false;  // Next hands out the kept pieces
  std::vector<std::span<char>> kept_;
  std::vector<std::unique_ptr<char[]>> keptMemory_;
  std::size_t nextKept_ = 0;
  std::optional<os::FileIdentity> opened_; // a regular file's identity when it was opened
};

// Returns the whole content of the file `path`, or of standard input, as TextReader reads it.
std::string ReadWhole(const std::string& path);

// An output that appears whole or not at all where the system allows it. A regular file, or a
// name not yet taken, is written as a new file beside it, readable by its owner only, which Commit
// makes durable, gives the permissions (and where permitted the owner and group) of the file it
// replaces, or those of a new file, and renames over `path`; a symbolic link is followed. Anything
// else is written directly, as it comes, and never replaced: standard output for IsStandardStream
// paths, this process's own descriptors however named ("/dev/stdout", "/dev/fd/3"), so that a file
// opened for appending is appended to, and devices, pipes and sockets. Destroying an output that
// was not committed, and an interrupt on the way, remove the new file. Every failure throws
// ToolError naming the file.
class AtomicOutput {
public:
  explicit AtomicOutput(const std::string& path);
  ~AtomicOutput();
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  // Returns true when the output goes directly to its target, which cannot take back what it was
  // given; false when it goes to a new file that only Commit puts in place.
  [[nodiscard]] bool WritesDirectly() const noexcept { return temporary_ == nullptr; }

  // Returns true when the output goes directly into the very file that `input` reads (the same
  // device and inode; on Windows the same volume and file index), as with ">> cover.txt": what it
  // wrote would be read back without end.
  [[nodiscard]] bool WritesInto(const TextReader& input) const noexcept;

  void Write(std::string_view bytes);
  void Commit();

private:
  [[noreturn]] void Fail(std::string_view what) const;

  std::string name_;
  std::string target_; // the file Commit replaces; empty when writing directly
  std::unique_ptr<os::TemporaryFile> temporary_; // the new file beside target_, until Commit
  int descriptor_ = -1;           // the temporary file's, or the one written directly
  bool ownsDescriptor_ = false;   // a device opened for the output, closed with it
  std::uint64_t written_ = 0;     // bytes written to the new file
  std::uint64_t writtenBack_ = 0; // bytes of it whose writing to the disk has been started
};

// Writes `bytes` through an AtomicOutput for `path`.
void WriteAll(const std::string& path, std::string_view bytes);

} // namespace quillmere::cli
