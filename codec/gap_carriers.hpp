// SPDX-License-Identifier: MIT
#pragma once

#include "bit_string.hpp"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

// Every space of a cover text carries one bit: an ordinary space is 0, a no-break space is 1. The
// bits follow the order of the spaces from the first character of the text to the last; there is no
// header, length or end mark. Every other character carries nothing and is never changed.
namespace quillmere {

inline constexpr char16_t kSpace = u'\u0020';
inline constexpr char16_t kNoBreakSpace = u'\u00A0';

// Returns one bit per carrier of `cover`, in text order: '0' for U+0020, '1' for U+00A0. A cover
// without either gives the empty bit string.
BitString ExtractBits(std::u16string_view cover);

// Returns `cover` with its n-th U+0020 turned into U+00A0 where the n-th character of `bits` is
// '1'; all other characters are kept, so the result has the length of `cover`. A U+00A0 already in
// the cover is neither counted nor changed. Bits beyond the number of U+0020 are dropped; when
// `bits` is shorter, the remaining U+0020 stay and read back as 0.
std::u16string EmbedBits(std::u16string_view cover, std::u16string_view bits);

// Does what EmbedBits does, in the caller's buffer instead of a new text: cheaper for large
// covers, whose copy would fault in fresh memory. Touches only the U+0020 that become U+00A0.
void EmbedBitsInPlace(std::span<char16_t> cover, std::u16string_view bits) noexcept;

// Returns the carriers of `cover`, U+0020 and U+00A0 as they stand, in text order: the cover as
// ExtractBits and EmbedBits see it, without the characters that carry nothing. Both functions give
// the same bits, and change the same carriers, on this text as on the cover itself.
std::u16string CarriersOf(std::u16string_view cover);

// Gives the first carriers.size() carriers of `cover`, in text order, the characters of `carriers`
// (each U+0020 or U+00A0), and keeps every other character; carriers beyond the cover's are
// dropped: CarriersOf(cover) then starts with `carriers`.
void ReplaceCarriersInPlace(std::span<char16_t> cover, std::u16string_view carriers) noexcept;

// Returns the number of U+0020 in `cover`: how many bits `EmbedBits` can write into it.
std::size_t Capacity(std::u16string_view cover) noexcept;

} // namespace quillmere
