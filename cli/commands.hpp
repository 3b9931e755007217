// SPDX-License-Identifier: MIT
#pragma once

#include "text_files.hpp"

#include "codec/bit_string.hpp"

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

// The tool's three commands: as functions on text, and as runs on files or standard streams.
namespace quillmere::cli {

struct HideReport {
  std::size_t gapsNeeded = 0;    // eight per message character
  std::size_t gapsAvailable = 0; // every space of the cover once no-break spaces are made plain
  std::size_t replaced = 0;      // message characters hidden as "?"
};

// Hides a message in a cover that arrives in consecutive pieces, as the window hides it in the
// whole text: after the last piece the cover holds exactly what EmbedBits would give.
class MessageHider {
public:
  // Throws ToolError when `message` holds U+0000, at which reveal would stop, naming the position
  // of its first one (the first character is 1).
  explicit MessageHider(std::u16string_view message);

  // Makes every U+00A0 of `piece` a U+0020, then writes the next bits into its gaps. Once every
  // bit is written, further gaps stay plain and read back as 0.
  void HideIn(std::span<char16_t> piece) noexcept;

  // Returns the gaps the message needs: eight per character.
  [[nodiscard]] std::size_t GapsNeeded() const noexcept { return bits_.size(); }
  // Returns how many message characters are hidden as "?".
  [[nodiscard]] std::size_t Replaced() const noexcept { return replaced_; }

private:
  BitString bits_;
  std::size_t next_ = 0;
  std::size_t replaced_ = 0;
};

// Returns the gaps of `text` as hide uses them: its spaces, plain or no-break.
std::size_t CountGaps(std::u16string_view text) noexcept;

// Makes every U+00A0 of `cover` a U+0020, then hides `message` in its spaces as the window does.
// When the message needs more gaps than the cover has, throws ToolError naming both numbers and
// leaves `cover` unchanged, unless `truncate` is set: then the bits beyond the last gap are
// dropped.
HideReport HideInPlace(std::u16string& cover, std::u16string_view message, bool truncate);

// Returns the message hidden in `stego` up to, not including, its first U+0000, which is what the
// window's result box shows. A text without gaps gives the empty message.
std::u16string RevealMessage(std::u16string_view stego);

struct CoverCapacity {
  std::size_t gaps = 0;       // spaces, plain or no-break
  std::size_t characters = 0; // whole message characters: gaps / 8
};

// Returns how much `cover` can hold once its no-break spaces are made plain, as hide does.
CoverCapacity MeasureCapacity(std::u16string_view cover);

struct HideOptions {
  std::u16string message;
  std::string coverPath;  // empty or "-": standard input
  std::string outputPath; // empty or "-": standard output
  Encoding encoding = Encoding::Utf8;
  bool truncate = false;
  bool force = false; // hide with Windows-1252 even in a cover that reads as UTF-8
};

struct RevealOptions {
  std::string stegoPath;
  Encoding encoding = Encoding::Utf8;
  bool bits = false; // print the bit string and a line end instead of the message
};

struct CapacityOptions {
  std::string coverPath;
  Encoding encoding = Encoding::Utf8;
};

// Thrown by RunReveal when the text holds no message; the tool exits with status 3 for it.
class NoHiddenMessage : public ToolError {
public:
  using ToolError::ToolError;
};

// Receives the warnings of a run, one line each without the line end.
using WarningSink = std::function<void(std::string_view)>;

// Reads the cover, hides the message and writes the result; nothing is written when it throws.
// Refuses a message that holds U+0000, and a Windows-1252 cover that is valid UTF-8 beyond ASCII
// unless `force` is set. Warns when message characters were replaced by "?" or cut off by
// `truncate`.
void RunHide(const HideOptions& options, const WarningSink& warn);

// Writes the message hidden in the stego text to standard output, in the options' coding and
// without an added line end; or the bit string followed by a line end. Throws NoHiddenMessage,
// having written nothing, when the message is empty, as it is when every gap is an ordinary
// space; the bit string is written whatever it holds.
void RunReveal(const RevealOptions& options);

// Writes "<gaps> gaps, <characters> characters" and a line end to standard output.
void RunCapacity(const CapacityOptions& options);

} // namespace quillmere::cli
