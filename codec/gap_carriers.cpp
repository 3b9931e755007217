#include "gap_carriers.hpp"

#include <bit>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLMERE_HAVE_SSE2 1
#endif

namespace quillmere {
namespace {

// The cover is scanned in blocks of 16 characters: a block's bit mask marks where a character
// equals the one looked for, so the loops below touch only the carriers, about one character in
// six of German prose, and skip the rest a block at a time.
constexpr std::size_t kBlock = 16;

#if QUILLMERE_HAVE_SSE2
std::uint32_t MatchMask(const char16_t* block, char16_t ch) noexcept {
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(ch));
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8));
  const __m128i packed =
      _mm_packs_epi16(_mm_cmpeq_epi16(low, wanted), _mm_cmpeq_epi16(high, wanted));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(packed));
}
#else
std::uint32_t MatchMask(const char16_t* block, char16_t ch) noexcept {
  std::uint32_t mask = 0;
  for (std::size_t i = 0; i < kBlock; ++i) {
    mask |= static_cast<std::uint32_t>(block[i] == ch) << i;
  }
  return mask;
}
#endif

// Calls `visit(position, isNoBreakSpace)` for every carrier of `cover` in text order, and only
// for U+0020 when `spacesOnly` is set; stops early when `visit` returns false.
template <typename Visit>
void ForEachCarrier(std::u16string_view cover, bool spacesOnly, Visit visit) {
  const char16_t* const text = cover.data();
  std::size_t start = 0;
  for (; start + kBlock <= cover.size(); start += kBlock) {
    const std::uint32_t spaces = MatchMask(text + start, kSpace);
    const std::uint32_t noBreak = spacesOnly ? 0 : MatchMask(text + start, kNoBreakSpace);
    for (std::uint32_t mask = spaces | noBreak; mask != 0; mask &= mask - 1) {
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

std::size_t CountMatches(std::u16string_view cover, bool spacesOnly) noexcept {
  std::size_t count = 0;
  std::size_t start = 0;
  for (; start + kBlock <= cover.size(); start += kBlock) {
    std::uint32_t mask = MatchMask(cover.data() + start, kSpace);
    if (!spacesOnly) {
      mask |= MatchMask(cover.data() + start, kNoBreakSpace);
    }
    count += static_cast<std::size_t>(std::popcount(mask));
  }
  for (; start < cover.size(); ++start) {
    count += cover[start] == kSpace || (!spacesOnly && cover[start] == kNoBreakSpace);
  }
  return count;
}

} // namespace

BitString ExtractBits(std::u16string_view cover) {
  // Counting first lets the bits be written straight into a buffer of the final size.
  BitString bits(CountMatches(cover, false), u'0');
  char16_t* out = bits.data();
  ForEachCarrier(cover, false, [&out](std::size_t, bool isNoBreakSpace) {
    *out++ = isNoBreakSpace ? u'1' : u'0';
    return true;
  });
  return bits;
}

std::u16string EmbedBits(std::u16string_view cover, std::u16string_view bits) {
  // Only a '1' changes the cover, and nothing changes once the bits are used up.
  std::u16string result(cover);
  std::size_t n = 0;
  ForEachCarrier(cover, true, [&](std::size_t position, bool) {
    if (n >= bits.size()) {
      return false;
    }
    if (bits[n++] == u'1') {
      result[position] = kNoBreakSpace;
    }
    return true;
  });
  return result;
}

std::size_t Capacity(std::u16string_view cover) noexcept {
  return CountMatches(cover, true);
}

} // namespace quillmere
