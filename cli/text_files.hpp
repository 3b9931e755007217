#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// The tool's files: reading them in one go, turning their bytes into text and back, and writing
// them so that a failed run never leaves half a file behind.
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

// Returns the whole content of the file `path`, or of standard input for IsStandardStream paths.
// Throws ToolError naming the file when it cannot be opened or read.
std::string ReadAll(const std::string& path);

// Returns `bytes` as text. UTF-8 must be valid (no overlong forms, no surrogates); otherwise throws
// ToolError naming `source` and the offset of the first bad byte. Windows-1252 maps every byte to
// one character. Decoding and then EncodeText gives back exactly the same bytes.
std::u16string DecodeText(std::string_view bytes, Encoding encoding, std::string_view source);

// Returns the bytes of `text`. A character outside Windows-1252 becomes "?" in that coding. UTF-8
// takes every character; an unpaired surrogate, which DecodeText never gives, throws ToolError.
std::string EncodeText(std::u16string_view text, Encoding encoding);

// Writes `bytes` to standard output for IsStandardStream paths. Otherwise writes them to a new file
// next to `path` and renames it over `path`, so `path` is either untouched or complete; a
// symbolic link is followed, and an existing file keeps its permissions. Throws ToolError on any
// failure, after removing the new file.
void WriteAll(const std::string& path, std::string_view bytes);

} // namespace quillmere::cli
