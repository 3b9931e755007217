// SPDX-License-Identifier: MIT
#pragma once

#include "commands.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The two commands that work against the hiding: show prints a text with its gaps made visible,
// clean takes a hidden message out of a text.
namespace quillmere::cli {

// How show draws a gap that holds a 1; a gap that holds a 0 is a space either way.
enum class GapView {
  Marks,  // the middle dot U+00B7, in Windows-1252 the byte B7
  Colour, // a space on a coloured background, for a terminal
};

// When show draws in colour, as GNU tools take --color.
enum class ColourWhen { Auto, Always, Never };

// Returns the --color value `name`: auto, always or never, or GNU's other spellings of them
// (tty and if-tty, yes and force, no and none); nullopt for anything else.
std::optional<ColourWhen> ColourWhenNamed(std::string_view name);

// Returns how show draws its gaps: marks with `marks`, whatever `when` says; colour for Always;
// for Auto colour only where standard output is a terminal that shows it (`terminal`) and
// NO_COLOR is unset or empty (`noColor` is its value, or null).
GapView ChooseGapView(bool marks, ColourWhen when, bool terminal, const char* noColor);

// What 1 gap looks like in colour: a space on a yellow background, with only the background
// reset after it, so that colours the text sets itself go on.
inline constexpr std::string_view kColouredGap = "\x1B[43m \x1B[49m";

struct ShowReport {
  std::uint64_t gaps = 0;
  std::uint64_t ones = 0; // gaps that hold a 1: no-break spaces
  std::string message;    // the Windows-1252 codes reveal reads, up to the first 0
};

// Passes the text that `text` hands out to `write`, piece by piece, with every no-break space
// drawn as `view` says and every other byte as it is, and returns what its gaps hold. Throws
// ToolError, naming the text `name`, when it is not valid UTF-8, as reveal does; `write` has then
// received the text up to, not including, its first bad byte. A no-break space or a character
// split between pieces comes out whole with the piece that completes it.
ShowReport ShowInPieces(const PieceSource& text, std::string_view name, TextEncoding encoding,
                        GapView view, const ByteSink& write);

// Returns the line show ends with, in `encoding`: how many gaps, how many hold a 1, and the
// message in quotes, its first 60 characters, control characters, quotes and backslashes written
// as escapes so that it stays one line, and "…" where it was longer. Without a message, says
// "no hidden message".
std::string ShowSummary(const ShowReport& report, TextEncoding encoding);

struct ShowOptions {
  std::string path = "-"; // "-": standard input; an empty path names no file
  TextEncoding encoding = TextEncoding::Utf8;
  bool marks = false;
  ColourWhen colour = ColourWhen::Auto;
};

// Receives the line a command reports on standard error, without the line end.
using NoteSink = std::function<void(std::string_view)>;

// Writes the text to standard output as ShowInPieces does, then passes its ShowSummary to `note`;
// in colour on a Windows console, it first lets the console draw colours. Throws ToolError as
// ShowInPieces does, or when standard output cannot be written; NoHiddenMessage, holding the
// summary, once the whole text is written, when its gaps hold no message.
void RunShow(const ShowOptions& options, const NoteSink& note);

struct CleanOptions {
  std::string inputPath = "-";  // "-": standard input; an empty path names no file
  std::string outputPath = "-"; // "-": standard output
  TextEncoding encoding = TextEncoding::Utf8;
  bool force = false; // with Windows-1252, clean even a text that reads as UTF-8
};

// Returns the hide run that cleans: an empty message, so that every no-break space becomes an
// ordinary space and every other byte stays.
HideOptions CleanAsHide(const CleanOptions& options);

// Returns the line clean reports: how many no-break spaces it made ordinary spaces.
std::string CleanSummary(std::uint64_t changed);

// Writes the cleaned text through RunHide, with its output safety, and passes the CleanSummary to
// `note`. Throws what RunHide throws; nothing is written then.
void RunClean(const CleanOptions& options, const NoteSink& note);

} // namespace quillmere::cli
