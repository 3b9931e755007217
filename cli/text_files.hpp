// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

// The tool's files: reading them in one go, turning their bytes into text and back piece by piece,
// and writing them so that a failed run never leaves half a file behind.
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

// The whole content of the file `path`, or of standard input for IsStandardStream paths. A regular
// file is mapped into memory where the system allows it, which spares copying it; anything else is
// read into memory. Throws ToolError naming the file when it cannot be opened or read.
class InputBytes {
public:
  explicit InputBytes(const std::string& path);
  ~InputBytes();
  InputBytes(const InputBytes&) = delete;
  InputBytes& operator=(const InputBytes&) = delete;

  // Returns the content; it stays valid as long as this object.
  [[nodiscard]] std::string_view View() const noexcept { return view_; }

private:
  std::string copy_;
  void* mapping_ = nullptr;
  std::size_t mappingSize_ = 0;
  std::string_view view_;
};

// The most code units DecodeInPieces passes at once: small enough to stay in the processor's cache.
inline constexpr std::size_t kPieceLength = std::size_t{1} << 16;

using PieceVisitor = std::function<void(std::span<char16_t> piece)>;

// Calls `visit` for consecutive pieces of the text of `bytes`, each at most kPieceLength code units
// and never splitting a character, which together make the whole text; `visit` may change a piece.
// Windows-1252 maps every byte to one character. UTF-8 must be valid (no overlong forms, no
// surrogates); otherwise throws ToolError naming `source` and the offset of the first bad byte,
// possibly after some pieces were visited. Encoding the pieces again gives back the same bytes.
void DecodeInPieces(std::string_view bytes, Encoding encoding, std::string_view source,
                    const PieceVisitor& visit);

// Returns the whole text of `bytes`, as DecodeInPieces reads it; throws as it does.
std::u16string DecodeText(std::string_view bytes, Encoding encoding, std::string_view source);

// Appends the bytes of `text` to `bytes`. A character outside Windows-1252 becomes "?" in that
// coding. UTF-8 takes every character; an unpaired surrogate, which decoding never gives, throws
// ToolError.
void AppendEncoded(std::u16string_view text, Encoding encoding, std::string& bytes);

// Returns the bytes of `text`, as AppendEncoded makes them.
std::string EncodeText(std::u16string_view text, Encoding encoding);

// An output that appears whole or not at all. For IsStandardStream paths it is standard output.
// Otherwise the bytes go to a new file next to `path`, which Commit renames over `path`; a
// symbolic link is followed and an existing file keeps its permissions. An existing target that is
// not a regular file (a device, a pipe) is written directly instead. Destroying an output that
// was not committed removes the new file. Every failure throws ToolError naming the file.
class AtomicOutput {
public:
  explicit AtomicOutput(const std::string& path);
  ~AtomicOutput();
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  void Write(std::string_view bytes);
  void Commit();

private:
  std::string name_;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
};

// Writes `bytes` through an AtomicOutput for `path`.
void WriteAll(const std::string& path, std::string_view bytes);

} // namespace quillmere::cli
