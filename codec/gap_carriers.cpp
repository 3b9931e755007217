// SPDX-License-Identifier: MIT
#include "gap_carriers.hpp"

#include "block_masks.hpp"

#include <bit>
#include <cstdint>

namespace quillmere {
namespace {

using block_masks::CountBits;
using block_masks::EqualMask16;

// The cover is scanned in blocks of 64 characters: a block's bit mask marks where a character
// equals the one looked for, so the loops below touch only the carriers, about one character in
// six of German prose, and skip the rest. The loop over a mask's bits mispredicts once, at its
// end, per block: a larger block makes that rarer.
constexpr std::size_t kBlock = block_masks::kBlockUnits;

// Calls `visit(position, isNoBreakSpace)` for every carrier of `cover` in text order, and only
// for U+0020 when `spacesOnly` is set; stops early when `visit` returns false.
template <typename Visit>
void ForEachCarrier(std::u16string_view cover, bool spacesOnly, Visit visit) {
  const char16_t* const text = cover.data();
  std::size_t start = 0;
  for (; start + kBlock <= cover.size(); start += kBlock) {
    const std::uint64_t spaces = EqualMask16(text + start, kSpace);
    const std::uint64_t noBreak = spacesOnly ? 0 : EqualMask16(text + start, kNoBreakSpace);
    for (std::uint64_t mask = spaces | noBreak; mask != 0; mask &= mask - 1) {
      const auto offset = static_cast<std::size_t>(std::countr_zero(mask));
      if (!visit(start + offset, ((noBreak >> offset) & 1U) != 0)) {
        return;
      }
    }
  }
  for (; start < cover.size(); ++start) {
    const char16_t ch = text[start];
    if ((ch == kSpace || (!spacesOnly && ch == kNoBreakSpace)) &&
        !visit(start, ch == kNoBreakSpace)) {
      return;
    }
  }
}

std::size_t CountCarriers(std::u16string_view cover, bool spacesOnly) noexcept {
  std::size_t count = 0;
  std::size_t start = 0;
  for (; start + kBlock <= cover.size(); start += kBlock) {
    std::uint64_t mask = EqualMask16(cover.data() + start, kSpace);
    if (!spacesOnly) {
      mask |= EqualMask16(cover.data() + start, kNoBreakSpace);
    }
    count += CountBits(mask);
  }
  for (; start < cover.size(); ++start) {
    count += cover[start] == kSpace || (!spacesOnly && cover[start] == kNoBreakSpace);
  }
  return count;
}

} // namespace

BitString ExtractBits(std::u16string_view cover) {
  // Counting first lets the bits be written straight into a buffer of the final size.
  BitString bits(CountCarriers(cover, false), u'0');
  char16_t* out = bits.data();
  ForEachCarrier(cover, false, [&out](std::size_t, bool isNoBreakSpace) {
    *out++ = static_cast<char16_t>(u'0' + static_cast<int>(isNoBreakSpace));
    return true;
  });
  return bits;
}

void EmbedBitsInPlace(std::span<char16_t> cover, std::u16string_view bits) noexcept {
  // Every U+0020 up to the last bit is written, with U+0020 or U+00A0: a store that needs no
  // branch on the bit, which is as likely 0 as 1.
  std::size_t n = 0;
  ForEachCarrier({cover.data(), cover.size()}, true, [&](std::size_t position, bool) {
    if (n >= bits.size()) {
      return false;
    }
    cover[position] = bits[n++] == u'1' ? kNoBreakSpace : kSpace;
    return true;
  });
}

std::u16string EmbedBits(std::u16string_view cover, std::u16string_view bits) {
  std::u16string result(cover);
  EmbedBitsInPlace(result, bits);
  return result;
}

std::u16string CarriersOf(std::u16string_view cover) {
  std::u16string carriers(CountCarriers(cover, false), kSpace);
  char16_t* out = carriers.data();
  ForEachCarrier(cover, false, [&out](std::size_t, bool isNoBreakSpace) {
    *out++ = isNoBreakSpace ? kNoBreakSpace : kSpace;
    return true;
  });
  return carriers;
}

void ReplaceCarriersInPlace(std::span<char16_t> cover, std::u16string_view carriers) noexcept {
  std::size_t n = 0;
  ForEachCarrier({cover.data(), cover.size()}, false, [&](std::size_t position, bool) {
    if (n >= carriers.size()) {
      return false;
    }
    cover[position] = carriers[n++];
    return true;
  });
}

std::size_t Capacity(std::u16string_view cover) noexcept {
  return CountCarriers(cover, true);
}

} // namespace quillmere
