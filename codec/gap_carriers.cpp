// SPDX-License-Identifier: MIT
#include "gap_carriers.hpp"

#include <bit>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLMERE_HAVE_SSE2 1
#endif

namespace quillmere {
namespace {

// The cover is scanned in blocks of 64 characters: a block's bit mask marks where a character
// equals the one looked for, so the loops below touch only the carriers, about one character in
// six of German prose, and skip the rest. The loop over a mask's bits mispredicts once, at its
// end, per block: a larger block makes that rarer.
constexpr std::size_t kBlock = 64;

#if QUILLMERE_HAVE_SSE2
std::uint64_t MatchMask(const char16_t* block, char16_t ch) noexcept {
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(ch));
  std::uint64_t mask = 0;
  for (std::size_t part = 0; part < kBlock; part += 16) {
    const auto* chunk = reinterpret_cast<const __m128i*>(block + part);
    const __m128i low = _mm_cmpeq_epi16(_mm_loadu_si128(chunk), wanted);
    const __m128i high = _mm_cmpeq_epi16(_mm_loadu_si128(chunk + 1), wanted);
    const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
    mask |= std::uint64_t{bits} << part;
  }
  return mask;
}
#else
std::uint64_t MatchMask(const char16_t* block, char16_t ch) noexcept {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlock; ++i) {
    mask |= std::uint64_t{block[i] == ch} << i;
  }
  return mask;
}
#endif

// Returns the number of set bits of `mask`. std::popcount becomes a library call where the
// compiler may not assume the processor's instruction, which costs more than this does.
constexpr std::size_t CountBits(std::uint64_t mask) noexcept {
  mask = mask - ((mask >> 1) & 0x5555555555555555U);
  mask = (mask & 0x3333333333333333U) + ((mask >> 2) & 0x3333333333333333U);
  mask = (mask + (mask >> 4)) & 0x0F0F0F0F0F0F0F0FU;
  return static_cast<std::size_t>((mask * 0x0101010101010101U) >> 56);
}

// Calls `visit(position, isNoBreakSpace)` for every carrier of `cover` in text order, and only
// for U+0020 when `spacesOnly` is set; stops early when `visit` returns false.
template <typename Visit>
void ForEachCarrier(std::u16string_view cover, bool spacesOnly, Visit visit) {
  const char16_t* const text = cover.data();
  std::size_t start = 0;
  for (; start + kBlock <= cover.size(); start += kBlock) {
    const std::uint64_t spaces = MatchMask(text + start, kSpace);
    const std::uint64_t noBreak = spacesOnly ? 0 : MatchMask(text + start, kNoBreakSpace);
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
    std::uint64_t mask = MatchMask(cover.data() + start, kSpace);
    if (!spacesOnly) {
      mask |= MatchMask(cover.data() + start, kNoBreakSpace);
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

std::size_t MakeGapsPlain(std::span<char16_t> text) noexcept {
  // Both kinds of carrier are counted from the block's masks; only the U+00A0 are written.
  char16_t* const chars = text.data();
  std::size_t count = 0;
  std::size_t start = 0;
  for (; start + kBlock <= text.size(); start += kBlock) {
    const std::uint64_t noBreak = MatchMask(chars + start, kNoBreakSpace);
    count += CountBits(MatchMask(chars + start, kSpace) | noBreak);
    for (std::uint64_t mask = noBreak; mask != 0; mask &= mask - 1) {
      chars[start + static_cast<std::size_t>(std::countr_zero(mask))] = kSpace;
    }
  }
  for (; start < text.size(); ++start) {
    if (chars[start] == kNoBreakSpace) {
      chars[start] = kSpace;
    }
    count += chars[start] == kSpace;
  }
  return count;
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
