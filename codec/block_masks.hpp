#pragma once

// The processor-specific code of the codec, and only that: bit masks over blocks of 64 bytes, or of
// 64 UTF-16 code units, made with SSE2 where the processor has it and with a plain loop elsewhere.
// Bit i of a mask stands for byte or code unit i of the block, so a loop over the set bits of a
// mask visits just the places it needs, in text order. Internal to the codec. Defining
// QUILLMERE_NO_SIMD selects the plain loops on any processor, to test them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if !defined(QUILLMERE_NO_SIMD) && \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#include <emmintrin.h>
#define QUILLMERE_BLOCK_MASKS_SSE2 1
#endif

namespace quillmere::block_masks {

inline constexpr std::size_t kBlockBytes = 64;
inline constexpr std::size_t kBlockUnits = 64; // UTF-16 code units

// 64 bytes loaded once and compared several times.
struct ByteBlock {
#if QUILLMERE_BLOCK_MASKS_SSE2
  __m128i part[4];
#else
  unsigned char bytes[kBlockBytes];
#endif
};

// Returns the 64 bytes from `bytes` on, which may lie anywhere in memory.
inline ByteBlock LoadBlock(const unsigned char* bytes) noexcept {
  ByteBlock block;
#if QUILLMERE_BLOCK_MASKS_SSE2
  const auto* const parts = reinterpret_cast<const __m128i*>(bytes);
  block.part[0] = _mm_loadu_si128(parts);
  block.part[1] = _mm_loadu_si128(parts + 1);
  block.part[2] = _mm_loadu_si128(parts + 2);
  block.part[3] = _mm_loadu_si128(parts + 3);
#else
  std::memcpy(block.bytes, bytes, kBlockBytes);
#endif
  return block;
}

#if QUILLMERE_BLOCK_MASKS_SSE2
// Returns the mask of 64 bytes from the byte masks of their four parts of 16, written out rather
// than looped, so that the compiler keeps the block in registers.
inline std::uint64_t JoinMasks(int first, int second, int third, int fourth) noexcept {
  return std::uint64_t{static_cast<std::uint32_t>(first)} |
         std::uint64_t{static_cast<std::uint32_t>(second)} << 16 |
         std::uint64_t{static_cast<std::uint32_t>(third)} << 32 |
         std::uint64_t{static_cast<std::uint32_t>(fourth)} << 48;
}
#endif

// Returns the mask of the bytes of `block` that equal `value`.
inline std::uint64_t EqualMask(const ByteBlock& block, unsigned char value) noexcept {
#if QUILLMERE_BLOCK_MASKS_SSE2
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
  return JoinMasks(_mm_movemask_epi8(_mm_cmpeq_epi8(block.part[0], wanted)),
                   _mm_movemask_epi8(_mm_cmpeq_epi8(block.part[1], wanted)),
                   _mm_movemask_epi8(_mm_cmpeq_epi8(block.part[2], wanted)),
                   _mm_movemask_epi8(_mm_cmpeq_epi8(block.part[3], wanted)));
#else
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    mask |= std::uint64_t{block.bytes[i] == value} << i;
  }
  return mask;
#endif
}

// Returns the mask of the bytes of `block` that are 0x80 or above: every byte of UTF-8 outside
// ASCII.
inline std::uint64_t HighMask(const ByteBlock& block) noexcept {
#if QUILLMERE_BLOCK_MASKS_SSE2
  return JoinMasks(_mm_movemask_epi8(block.part[0]), _mm_movemask_epi8(block.part[1]),
                   _mm_movemask_epi8(block.part[2]), _mm_movemask_epi8(block.part[3]));
#else
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    mask |= std::uint64_t{block.bytes[i] >= 0x80} << i;
  }
  return mask;
#endif
}

// The bytes of a block above ASCII that can be part of a two-byte UTF-8 character.
struct TwoByteMasks {
  std::uint64_t leads = 0;         // C2 to DF
  std::uint64_t continuations = 0; // 80 to BF
};

// Returns the two-byte masks of `block`. SSE2 compares bytes as signed numbers, where 80 to BF are
// -128 to -65 and C2 to DF are -62 to -33, and ASCII is never below 0.
inline TwoByteMasks TwoByteMasksOf(const ByteBlock& block) noexcept {
  TwoByteMasks masks;
#if QUILLMERE_BLOCK_MASKS_SSE2
  const __m128i aboveContinuation = _mm_set1_epi8(-64);
  const __m128i belowLead = _mm_set1_epi8(-63);
  const __m128i aboveLead = _mm_set1_epi8(-32);
  const auto continuations = [&](const __m128i part) {
    return _mm_movemask_epi8(_mm_cmplt_epi8(part, aboveContinuation));
  };
  const auto leads = [&](const __m128i part) {
    return _mm_movemask_epi8(
        _mm_and_si128(_mm_cmpgt_epi8(part, belowLead), _mm_cmplt_epi8(part, aboveLead)));
  };
  masks.leads = JoinMasks(leads(block.part[0]), leads(block.part[1]), leads(block.part[2]),
                          leads(block.part[3]));
  masks.continuations = JoinMasks(continuations(block.part[0]), continuations(block.part[1]),
                                  continuations(block.part[2]), continuations(block.part[3]));
#else
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    const unsigned char byte = block.bytes[i];
    masks.leads |= std::uint64_t{byte >= 0xC2 && byte <= 0xDF} << i;
    masks.continuations |= std::uint64_t{byte >= 0x80 && byte <= 0xBF} << i;
  }
#endif
  return masks;
}

// Returns how many of the `size` bytes from `bytes` on equal `value`. Blocks of 16 bytes add their
// matches to 16 byte-wide counters, which are summed up before they can overflow.
inline std::size_t CountEqual(const unsigned char* bytes, std::size_t size,
                              unsigned char value) noexcept {
  std::size_t count = 0;
  std::size_t i = 0;
#if QUILLMERE_BLOCK_MASKS_SSE2
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
  const __m128i zero = _mm_setzero_si128();
  while (size - i >= 16) {
    const std::size_t end = i + 16 * std::min<std::size_t>((size - i) / 16, 255);
    __m128i counters = zero;
    for (; i < end; i += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
      counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(chunk, wanted));
    }
    const __m128i sums = _mm_sad_epu8(counters, zero);
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
  }
#endif
  for (; i < size; ++i) {
    count += static_cast<std::size_t>(bytes[i] == value);
  }
  return count;
}

// How often a byte value and a pair of byte values occur.
struct ByteCounts {
  std::size_t equal = 0;
  std::size_t pairs = 0;
};

// Returns how many of the `size` bytes from `bytes` on equal `value`, and at how many positions the
// byte equals `first` and the byte after it, also among the `size`, `second`; both counted at once
// as CountEqual counts.
inline ByteCounts CountEqualAndPairs(const unsigned char* bytes, std::size_t size,
                                     unsigned char value, unsigned char first,
                                     unsigned char second) noexcept {
  ByteCounts counts;
  std::size_t i = 0;
#if QUILLMERE_BLOCK_MASKS_SSE2
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
  const __m128i wantedFirst = _mm_set1_epi8(static_cast<char>(first));
  const __m128i wantedSecond = _mm_set1_epi8(static_cast<char>(second));
  const __m128i zero = _mm_setzero_si128();
  while (size - i >= 17) {
    const std::size_t end = i + 16 * std::min<std::size_t>((size - i - 1) / 16, 255);
    __m128i equal = zero;
    __m128i pairs = zero;
    for (; i < end; i += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
      const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 1));
      equal = _mm_sub_epi8(equal, _mm_cmpeq_epi8(chunk, wanted));
      pairs = _mm_sub_epi8(pairs, _mm_and_si128(_mm_cmpeq_epi8(chunk, wantedFirst),
                                                _mm_cmpeq_epi8(after, wantedSecond)));
    }
    const __m128i equalSums = _mm_sad_epu8(equal, zero);
    const __m128i pairSums = _mm_sad_epu8(pairs, zero);
    counts.equal +=
        static_cast<std::size_t>(_mm_cvtsi128_si32(equalSums) + _mm_extract_epi16(equalSums, 4));
    counts.pairs +=
        static_cast<std::size_t>(_mm_cvtsi128_si32(pairSums) + _mm_extract_epi16(pairSums, 4));
  }
#endif
  for (; i < size; ++i) {
    counts.equal += static_cast<std::size_t>(bytes[i] == value);
    counts.pairs +=
        static_cast<std::size_t>(i + 1 < size && bytes[i] == first && bytes[i + 1] == second);
  }
  return counts;
}

// Returns the mask of the 64 UTF-16 code units from `units` on that equal `value`.
inline std::uint64_t EqualMask16(const char16_t* units, char16_t value) noexcept {
#if QUILLMERE_BLOCK_MASKS_SSE2
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(value));
  std::uint64_t mask = 0;
  for (std::size_t part = 0; part < kBlockUnits; part += 16) {
    const auto* const chunk = reinterpret_cast<const __m128i*>(units + part);
    const __m128i low = _mm_cmpeq_epi16(_mm_loadu_si128(chunk), wanted);
    const __m128i high = _mm_cmpeq_epi16(_mm_loadu_si128(chunk + 1), wanted);
    const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
    mask |= std::uint64_t{bits} << part;
  }
  return mask;
#else
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlockUnits; ++i) {
    mask |= std::uint64_t{units[i] == value} << i;
  }
  return mask;
#endif
}

// Returns the number of set bits of `mask`. std::popcount becomes a library call where the
// compiler may not assume the processor's instruction, which costs more than this does.
constexpr std::size_t CountBits(std::uint64_t mask) noexcept {
  mask = mask - ((mask >> 1) & 0x5555555555555555U);
  mask = (mask & 0x3333333333333333U) + ((mask >> 2) & 0x3333333333333333U);
  mask = (mask + (mask >> 4)) & 0x0F0F0F0F0F0F0F0FU;
  return static_cast<std::size_t>((mask * 0x0101010101010101U) >> 56);
}

} // namespace quillmere::block_masks
