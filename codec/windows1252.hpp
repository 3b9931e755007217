// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Windows-1252 code page, the only character coding the codec knows: one message character is
// one byte. The five byte values the code page leaves unassigned (129, 141, 143, 144, 157) stand
// for the C1 control characters of the same number, so every byte value has exactly one character.
namespace quillmere {

// Byte code of characters that have none in Windows-1252.
inline constexpr std::uint8_t kReplacementCode = '?';

// Returns the character whose Windows-1252 byte code is `code` (0 gives U+0000).
char16_t Windows1252Char(std::uint8_t code) noexcept;

// Returns true when `ch` has a Windows-1252 byte code. Surrogates and every character outside the
// code page's 256 return false.
bool HasWindows1252Code(char16_t ch) noexcept;

// Returns the Windows-1252 byte code of `ch`, or `kReplacementCode` when it has none.
std::uint8_t Windows1252Code(char16_t ch) noexcept;

// Returns the number of UTF-16 code units of the character that starts `text` (2 for a valid
// surrogate pair, 1 otherwise); 0 for an empty text. A character without a code is replaced as a
// whole, so one emoji becomes one "?", not two.
std::size_t CharacterLength(std::u16string_view text) noexcept;

// Returns `text` with every character that has no Windows-1252 code replaced by "?" (a surrogate
// pair by one "?"), which is what a text box of the window holds after such a character is typed or
// pasted. Texts made only of Windows-1252 characters come back unchanged.
std::u16string ToWindows1252Repertoire(std::u16string_view text);

// Returns how many characters `ToWindows1252Repertoire` would replace in `text`.
std::size_t CountUnencodable(std::u16string_view text) noexcept;

} // namespace quillmere
