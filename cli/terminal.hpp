// SPDX-License-Identifier: MIT
#pragma once

// Whether standard output is a terminal, and letting it draw colours: what show asks before it
// draws gaps in colour.
namespace quillmere::cli {

// Returns true when standard output is a terminal; on Windows, a console.
bool StandardOutputIsTerminal() noexcept;

// Returns true when standard output draws the colour escapes show writes. On a Windows console it
// first switches on the console's processing of them (virtual terminal sequences, Windows 10 and
// later) until the program ends, and returns false where the console cannot do that. Anything
// else (a terminal elsewhere, a file, a pipe) takes the escapes as they are: true.
bool StandardOutputDrawsColour() noexcept;

} // namespace quillmere::cli
