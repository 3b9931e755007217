// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

// A message travels as a bit string: the characters '0' and '1' only, eight per message character,
// most significant bit first, with no separator, length prefix or end mark.
namespace quillmere {

// A bit string. It is a text so that it can be shown as it is, for example as a window title.
using BitString = std::u16string;

// Returns the bits of the Windows-1252 byte code of every character of `message`, eight each, most
// significant first. A character without a code (a surrogate pair counts as one) is coded as "?".
// An empty message gives the empty bit string.
BitString MessageToBits(std::u16string_view message);

// Returns one character per started group of eight bits: the character whose Windows-1252 code
// the group holds. Only '1' is a set bit (any other character reads as 0), and a last group of
// fewer than eight bits is filled up with 0 at its low end. A group of eight 0 bits gives U+0000.
std::u16string BitsToMessage(std::u16string_view bits);

// Returns `text` up to, not including, its first U+0000, where a text ends: a message read back
// with BitsToMessage ends at the first group of eight 0 bits, as a text box shows it. A text
// without U+0000 is returned whole.
std::u16string_view CutAtNul(std::u16string_view text) noexcept;

} // namespace quillmere
