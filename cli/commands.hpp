// SPDX-License-Identifier: MIT
#pragma once

#include "text_files.hpp"

#include "codec/byte_gaps.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

// The tool's three commands: as functions on texts that arrive in pieces, and as runs on files or
// standard streams.
namespace quillmere::cli {

// A message to hide: one Windows-1252 code per character, none of them 0.
struct Message {
  std::string codes;
  std::size_t replaced = 0; // characters without a Windows-1252 code, hidden as "?"
};

// Throws the ToolError for the text `name` that is not valid UTF-8 from byte `offset` on, with the
// hint on Windows-1252.
[[noreturn]] void ThrowInvalidUtf8(std::string_view name, std::uint64_t offset);

// Scans the next `bytes` of the text `name`; throws as ThrowInvalidUtf8 at the first byte that is
// not valid UTF-8 (never for a Windows-1252 scanner).
void ScanOrThrow(TextScanner& scanner, std::string_view bytes, std::string_view name);

// Ends the scan of the text `name`; throws as ThrowInvalidUtf8 when the text is not valid UTF-8,
// also when its last character is unfinished.
void FinishOrThrow(TextScanner& scanner, std::string_view name);

// Returns the message given on the command line, which is always UTF-8. Throws ToolError when it
// is not valid UTF-8, naming the offset of the first bad byte, or when it holds U+0000.
Message MessageFromArgument(std::string_view utf8);

// Returns the message in the file `path`, or on standard input, in `encoding`: a UTF-8 file must
// be valid, or the error names the first bad byte and suggests --encoding windows-1252; in
// Windows-1252 every byte is the code of one character. Throws ToolError also when the file cannot
// be read or the message holds U+0000, at which reveal would stop.
Message MessageFromFile(const std::string& path, TextEncoding encoding);

// Returns the next piece of a text, which the receiver may change, or an empty piece at its end.
using PieceSource = std::function<std::span<char>()>;
// Receives the output, one piece after the other.
using ByteSink = std::function<void(std::string_view)>;

struct HideSettings {
  TextEncoding encoding = TextEncoding::Utf8;
  bool truncate = false;
  bool force = false; // hide with Windows-1252 even in a cover that reads as UTF-8
};

struct HideReport {
  std::uint64_t coverBytes = 0;
  std::uint64_t gapsNeeded = 0;    // eight per message character
  std::uint64_t gapsAvailable = 0; // every space of the cover once no-break spaces are made plain
  std::size_t replaced = 0;        // message characters hidden as "?"
  std::uint64_t noBreakSpaces = 0; // the cover's, which hide makes plain first
};

// Hides `message` in the cover that `cover` hands out, as the window hides it in the whole text:
// every no-break space of the cover is made plain, then gap n takes bit n of the message. Passes
// the result to `write` piece by piece; an empty `write` only checks the cover. Throws ToolError,
// naming the cover `coverName`, when the cover is not valid UTF-8 (with the offset of its first bad
// byte and the hint on Windows-1252), when a Windows-1252 cover reads as UTF-8 beyond ASCII unless
// `force` is set, and when the message needs more gaps than the cover has unless `truncate` is set
// (then the bits beyond the last gap are dropped; RunHide first cuts the message with
// WholeCharactersThatFit). Some pieces may have been written by then.
HideReport HideInPieces(const PieceSource& cover, std::string_view coverName,
                        const Message& message, const HideSettings& settings,
                        const ByteSink& write);

// Thrown when a text holds no message; the tool exits with status 3 for it.
class NoHiddenMessage : public ToolError {
public:
  using ToolError::ToolError;
};

// Passes to `print` what reveal prints for the text that `stego` hands out, once the whole text is
// checked: the hidden message in `encoding` up to, not including, the first group of eight 0 bits,
// without a line end; or with `bits` one '0' or '1' per gap and a line end, in pieces, held until
// then as one bit per gap. A last group of fewer than eight gaps is the top of one more code, as
// the window reads it. Throws ToolError, naming the text `name`, when it is not valid UTF-8;
// NoHiddenMessage when the message is empty, saying whether the text has no gaps, only ordinary
// spaces, or no-break spaces after its first eight gaps. Nothing is printed when it throws.
void RevealInPieces(const PieceSource& stego, std::string_view name, TextEncoding encoding,
                    bool bits, const ByteSink& print);

// Returns all that RevealInPieces prints, in one string.
std::string RevealInPieces(const PieceSource& stego, std::string_view name, TextEncoding encoding,
                           bool bits);

// Returns `message` cut to the whole characters that `gaps` gaps hold, eight gaps each; the
// message itself when it fits.
Message WholeCharactersThatFit(const Message& message, std::uint64_t gaps);

struct CoverCapacity {
  std::uint64_t gaps = 0;       // spaces, plain or no-break
  std::uint64_t characters = 0; // whole message characters: gaps / 8
};

// Returns how much the text that `cover` hands out can hold once its no-break spaces are made
// plain, as hide does. Throws ToolError, naming it `name`, when it is not valid UTF-8.
CoverCapacity MeasureInPieces(const PieceSource& cover, std::string_view name,
                              TextEncoding encoding);

// In the options, "-" names standard input or output; an empty path names no file.
struct HideOptions {
  Message message;
  std::string coverPath = "-";
  std::string outputPath = "-";
  HideSettings settings;
};

struct RevealOptions {
  std::string stegoPath = "-";
  TextEncoding encoding = TextEncoding::Utf8;
  bool bits = false; // print the bit string and a line end instead of the message
};

struct CapacityOptions {
  std::string coverPath = "-";
  TextEncoding encoding = TextEncoding::Utf8;
};

// Receives the warnings of a run, one line each without the line end.
using WarningSink = std::function<void(std::string_view)>;

// Reads the cover, hides the message and writes the result, as HideInPieces does, and returns
// its report; nothing is written when it throws. With `truncate`, hides only the message's
// characters that fit whole. Throws ToolError when the output is written directly into the cover's
// own file ("input file is output file") and when the cover changed while it was read (Changed, or
// a second read that differs in size or gaps). Warns when message characters were replaced by "?"
// or cut off by `truncate`.
HideReport RunHide(const HideOptions& options, const WarningSink& warn);

// Writes what RevealInPieces returns for the stego text to standard output; nothing when it throws.
void RunReveal(const RevealOptions& options);

// Writes "<gaps> gaps, <characters> characters" and a line end to standard output, "1 gap" and
// "1 character" for one.
void RunCapacity(const CapacityOptions& options);

} // namespace quillmere::cli
