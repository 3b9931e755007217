#pragma once

// The processor-specific code of the byte-level gap engine, and only that: bit masks over blocks of
// 64 bytes, made with SSE2 where the processor has it and with a plain loop elsewhere. Bit i of a
// mask stands for byte i of the block, so a loop over the set bits of a mask visits just the bytes
// it needs, in text order. Internal to the codec. Defining QUILLMERE_NO_SIMD selects the plain
// loops on any processor, to test them.

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
  for (int i = 0; i < 4; ++i) {
    block.part[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes) + i);
  }
#else
  std::memcpy(block.bytes, bytes, kBlockBytes);
#endif
  return block;
}

// Returns the mask of the bytes of `block` that equal `value`.
inline std::uint64_t EqualMask(const ByteBlock& block, unsigned char value) noexcept {
  std::uint64_t mask = 0;
#if QUILLMERE_BLOCK_MASKS_SSE2
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
  for (int i = 0; i < 4; ++i) {
    const auto bits =
        static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block.part[i], wanted)));
    mask |= std::uint64_t{bits} << (16 * i);
  }
#else
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    mask |= std::uint64_t{block.bytes[i] == value} << i;
  }
#endif
  return mask;
}

// Returns the mask of the bytes of `block` that are 0x80 or above: every byte of UTF-8 outside
// ASCII.
inline std::uint64_t HighMask(const ByteBlock& block) noexcept {
  std::uint64_t mask = 0;
#if QUILLMERE_BLOCK_MASKS_SSE2
  for (int i = 0; i < 4; ++i) {
    const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(block.part[i]));
    mask |= std::uint64_t{bits} << (16 * i);
  }
#else
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    mask |= std::uint64_t{block.bytes[i] >= 0x80} << i;
  }
#endif
  return mask;
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
