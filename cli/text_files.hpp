// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

// The tool's files: reading them in one go, turning their bytes into text and back piece by piece,
// and writing them so that a failed or interrupted run never leaves half a file behind.
namespace quillmere::cli {

// The character codings the tool reads and writes.
enum class Encoding { Utf8, Windows1252 };

// A failure the tool reports on standard error before it exits with status 1.
class ToolError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Returns true when `path` names standard input or output: empty or "-".
bool IsStandardStream(std::string_view path) noexcept;

// The whole content of the file `path`, or of standard input for IsStandardStream paths, read
// with ordinary reads into memory of its own: a file that another program shortens or rewrites
// meanwhile cannot disturb the run. Throws ToolError naming the file when it cannot be opened or
// read.
class InputBytes {
public:
  explicit InputBytes(const std::string& path);

  // Returns the content; it stays valid as long as this object.
  [[nodiscard]] std::string_view View() const noexcept { return bytes_; }

private:
  std::string bytes_;
};

// The most code units DecodeInPieces passes at once: small enough to stay in the processor's cache.
inline constexpr std::size_t kPieceLength = std::size_t{1} << 16;

using PieceVisitor = std::function<void(std::span<char16_t> piece)>;

// Where bytes to decode come from: a file (or standard input), or a command-line argument, which
// is always UTF-8.
enum class ByteSource { File, Argument };

// Calls `visit` for consecutive pieces of the text of `bytes`, each at most kPieceLength code units
// and never splitting a character, which together make the whole text; `visit` may change a piece.
// Windows-1252 maps every byte to one character. UTF-8 must be valid (no overlong forms, no
// surrogates); otherwise throws ToolError naming `source` and the offset of the first byte that is
// not valid UTF-8 (the start of the first bad sequence), possibly after some pieces were visited;
// for a File it suggests --encoding windows-1252. Encoding the pieces again gives back the bytes.
void DecodeInPieces(std::string_view bytes, Encoding encoding, std::string_view source,
                    const PieceVisitor& visit, ByteSource from = ByteSource::File);

// Returns the whole text of `bytes`, as DecodeInPieces reads it; throws as it does.
std::u16string DecodeText(std::string_view bytes, Encoding encoding, std::string_view source,
                          ByteSource from = ByteSource::File);

// Returns true when `bytes` are valid UTF-8 and hold at least one character beyond ASCII: a text
// that Windows-1252 would misread, since the last byte of such characters as "à" (C3 A0) is a
// no-break space there.
bool LooksLikeUtf8(std::string_view bytes) noexcept;

// Appends the bytes of `text` to `bytes`. A character outside Windows-1252 becomes "?" in that
// coding. UTF-8 takes every character; an unpaired surrogate, which decoding never gives, throws
// ToolError.
void AppendEncoded(std::u16string_view text, Encoding encoding, std::string& bytes);

// Returns the bytes of `text`, as AppendEncoded makes them.
std::string EncodeText(std::u16string_view text, Encoding encoding);

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

  void Write(std::string_view bytes);
  void Commit();

private:
  [[noreturn]] void Fail(std::string_view what) const;

  std::string name_;
  std::string target_;    // the file Commit replaces; empty when writing directly
  std::string temporary_; // the new file beside target_, until Commit renames it
  int descriptor_ = -1;
  bool ownsDescriptor_ = false;
};

// Writes `bytes` through an AtomicOutput for `path`.
void WriteAll(const std::string& path, std::string_view bytes);

} // namespace quillmere::cli
