// SPDX-License-Identifier: MIT
#pragma once

// The processor-specific code of the codec, and only that: bit masks over blocks of 64 bytes, or of
// 64 UTF-16 code units, and the passes over whole pieces of a text that are made of them. Bit i of
// a mask stands for byte or code unit i of the block, so a loop over the set bits of a mask visits
// just the places it needs, in text order.
//
// Each function comes in forms: `plain` loops, which every processor runs and every build compiles;
// `sse2`, where the compiler may assume SSE2 (every x86-64 processor); and for the two passes over
// whole pieces (CountEqualAndPairs, SkipTwoByteBlocks) `avx2`, which GCC and Clang compile for any
// x86-64 processor and which is chosen while the program runs, where the processor has it.
// `baseline` is the form the build always takes: SSE2 where it has it, the plain loops elsewhere
// (on arm64, say). The functions outside the namespaces choose the form; the codec calls those.
// Internal to the codec. Defining QUILLMERE_NO_SIMD, for the whole build, makes the plain loops the
// baseline on any processor and leaves out AVX2, to test them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if !defined(QUILLMERE_NO_SIMD) && \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#include <emmintrin.h>
#define QUILLMERE_BLOCK_MASKS_SSE2 1
#endif

#if !defined(QUILLMERE_NO_SIMD) && (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define QUILLMERE_BLOCK_MASKS_AVX2 1
#define QUILLMERE_AVX2_FUNCTION __attribute__((target("avx2")))
#endif

namespace quillmere::block_masks {

inline constexpr std::size_t kBlockBytes = 64;
inline constexpr std::size_t kBlockUnits = 64; // UTF-16 code units
// The code units SkipLatin1Blocks checks at a time.
inline constexpr std::size_t kLatin1BlockUnits = 8;

// The bytes of a block above ASCII that can be part of a two-byte UTF-8 character.
struct TwoByteMasks {
  std::uint64_t leads = 0;         // C2 to DF
  std::uint64_t continuations = 0; // 80 to BF
};

// How often a byte value and a pair of byte values occur.
struct ByteCounts {
  std::size_t equal = 0;
  std::size_t pairs = 0;
};

// Adds to `counts` the bytes from `at` to `size` that equal `value`, and the pairs among them, one
// byte at a time: the end of a piece that the blocks leave over.
inline void CountEqualAndPairsFrom(const unsigned char* bytes, std::size_t at, std::size_t size,
                                   unsigned char value, unsigned char first, unsigned char second,
                                   ByteCounts& counts) noexcept {
  for (; at < size; ++at) {
    counts.equal += static_cast<std::size_t>(bytes[at] == value);
    counts.pairs +=
        static_cast<std::size_t>(at + 1 < size && bytes[at] == first && bytes[at + 1] == second);
  }
}

// Returns the bits of a block's masks that show a byte above ASCII which is not part of a whole
// two-byte character of UTF-8 (C2 to DF, then 80 to BF) within the block, given the block's masks
// of bytes above ASCII, of such leads and of such continuations: none when every one is. A block
// with faults always holds a byte above ASCII.
constexpr std::uint64_t TwoByteFaults(std::uint64_t high, std::uint64_t leads,
                                      std::uint64_t continuations) noexcept {
  return ((leads | continuations) ^ high) | (continuations ^ (leads << 1)) | (leads >> 63);
}

// SkipTwoByteBlocks for a form of blocks: its block type, how a block is loaded, and its masks of
// bytes above ASCII and of two-byte leads and continuations.
template <typename Block, Block (*Load)(const unsigned char*) noexcept,
          std::uint64_t (*High)(const Block&) noexcept,
          TwoByteMasks (*MasksOf)(const Block&) noexcept>
inline std::size_t SkipTwoByteBlocksWith(const unsigned char* bytes, std::size_t size,
                                         std::size_t from, bool& beyondAscii) noexcept {
  std::uint64_t seen = 0;
  for (; size - from >= kBlockBytes; from += kBlockBytes) {
    const Block block = Load(bytes + from);
    const std::uint64_t high = High(block);
    seen |= high;
    const TwoByteMasks masks = MasksOf(block);
    if (TwoByteFaults(high, masks.leads, masks.continuations) != 0) {
      break;
    }
  }
  beyondAscii = beyondAscii || seen != 0;
  return from;
}

// The plain loops, for any processor. Each function does what the one of its name outside the
// namespaces, at the end of this file, says.
namespace plain {

struct ByteBlock {
  unsigned char bytes[kBlockBytes];
};

inline ByteBlock LoadBlock(const unsigned char* bytes) noexcept {
  ByteBlock block;
  std::memcpy(block.bytes, bytes, kBlockBytes);
  return block;
}

inline std::uint64_t EqualMask(const ByteBlock& block, unsigned char value) noexcept {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    mask |= std::uint64_t{block.bytes[i] == value} << i;
  }
  return mask;
}

inline std::uint64_t HighMask(const ByteBlock& block) noexcept {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    mask |= std::uint64_t{block.bytes[i] >= 0x80} << i;
  }
  return mask;
}

inline TwoByteMasks TwoByteMasksOf(const ByteBlock& block) noexcept {
  TwoByteMasks masks;
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    const unsigned char byte = block.bytes[i];
    masks.leads |= std::uint64_t{byte >= 0xC2 && byte <= 0xDF} << i;
    masks.continuations |= std::uint64_t{byte >= 0x80 && byte <= 0xBF} << i;
  }
  return masks;
}

inline std::size_t CountEqual(const unsigned char* bytes, std::size_t size,
                              unsigned char value) noexcept {
  std::size_t count = 0;
  for (std::size_t i = 0; i < size; ++i) {
    count += static_cast<std::size_t>(bytes[i] == value);
  }
  return count;
}

inline ByteCounts CountEqualAndPairs(const unsigned char* bytes, std::size_t size,
                                     unsigned char value, unsigned char first,
                                     unsigned char second) noexcept {
  ByteCounts counts;
  CountEqualAndPairsFrom(bytes, 0, size, value, first, second, counts);
  return counts;
}

inline std::size_t SkipTwoByteBlocks(const unsigned char* bytes, std::size_t size, std::size_t from,
                                     bool& beyondAscii) noexcept {
  return SkipTwoByteBlocksWith<ByteBlock, LoadBlock, HighMask, TwoByteMasksOf>(bytes, size, from,
                                                                               beyondAscii);
}

inline std::uint64_t EqualMask16(const char16_t* units, char16_t value) noexcept {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlockUnits; ++i) {
    mask |= std::uint64_t{units[i] == value} << i;
  }
  return mask;
}

inline std::size_t SkipLatin1Blocks(const char16_t* units, std::size_t size) noexcept {
  std::size_t start = 0;
  for (; size - start >= kLatin1BlockUnits; start += kLatin1BlockUnits) {
    unsigned outside = 0;
    for (std::size_t i = start; i < start + kLatin1BlockUnits; ++i) {
      const unsigned unit = units[i];
      outside |= (unit >> 8) | static_cast<unsigned>((unit & 0xE0U) == 0x80U);
    }
    if (outside != 0) {
      break;
    }
  }
  return start;
}

} // namespace plain

#if QUILLMERE_BLOCK_MASKS_SSE2
// The same with SSE2, 16 bytes or 8 code units at a time.
namespace sse2 {

struct ByteBlock {
  __m128i part[4];
};

inline ByteBlock LoadBlock(const unsigned char* bytes) noexcept {
  ByteBlock block;
  const auto* const parts = reinterpret_cast<const __m128i*>(bytes);
  block.part[0] = _mm_loadu_si128(parts);
  block.part[1] = _mm_loadu_si128(parts + 1);
  block.part[2] = _mm_loadu_si128(parts + 2);
  block.part[3] = _mm_loadu_si128(parts + 3);
  return block;
}

// Returns the mask of 64 bytes from the byte masks of their four parts of 16, written out rather
// than looped, so that the compiler keeps the block in registers.
inline std::uint64_t JoinMasks(int first, int second, int third, int fourth) noexcept {
  return std::uint64_t{static_cast<std::uint32_t>(first)} |
         std::uint64_t{static_cast<std::uint32_t>(second)} << 16 |
         std::uint64_t{static_cast<std::uint32_t>(third)} << 32 |
         std::uint64_t{static_cast<std::uint32_t>(fourth)} << 48;
}

inline std::uint64_t EqualMask(const ByteBlock& block, unsigned char value) noexcept {
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
  return JoinMasks(_mm_movemask_epi8(_mm_cmpeq_epi8(block.part[0], wanted)),
                   _mm_movemask_epi8(_mm_cmpeq_epi8(block.part[1], wanted)),
                   _mm_movemask_epi8(_mm_cmpeq_epi8(block.part[2], wanted)),
                   _mm_movemask_epi8(_mm_cmpeq_epi8(block.part[3], wanted)));
}

inline std::uint64_t HighMask(const ByteBlock& block) noexcept {
  return JoinMasks(_mm_movemask_epi8(block.part[0]), _mm_movemask_epi8(block.part[1]),
                   _mm_movemask_epi8(block.part[2]), _mm_movemask_epi8(block.part[3]));
}

// SSE2 compares bytes as signed numbers, where 80 to BF are -128 to -65 and C2 to DF are -62 to
// -33, and ASCII is never below 0.
inline TwoByteMasks TwoByteMasksOf(const ByteBlock& block) noexcept {
  TwoByteMasks masks;
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
  return masks;
}

// Blocks of 16 bytes add their matches to 16 byte-wide counters, which are summed up before they
// can overflow.
inline std::size_t CountEqual(const unsigned char* bytes, std::size_t size,
                              unsigned char value) noexcept {
  std::size_t count = 0;
  std::size_t i = 0;
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
  return count + plain::CountEqual(bytes + i, size - i, value);
}

inline ByteCounts CountEqualAndPairs(const unsigned char* bytes, std::size_t size,
                                     unsigned char value, unsigned char first,
                                     unsigned char second) noexcept {
  ByteCounts counts;
  std::size_t i = 0;
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
  CountEqualAndPairsFrom(bytes, i, size, value, first, second, counts);
  return counts;
}

inline std::size_t SkipTwoByteBlocks(const unsigned char* bytes, std::size_t size, std::size_t from,
                                     bool& beyondAscii) noexcept {
  return SkipTwoByteBlocksWith<ByteBlock, LoadBlock, HighMask, TwoByteMasksOf>(bytes, size, from,
                                                                               beyondAscii);
}

inline std::uint64_t EqualMask16(const char16_t* units, char16_t value) noexcept {
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
}

// A unit is outside when its high byte is not zero or its low byte is 80 to 9F.
inline std::size_t SkipLatin1Blocks(const char16_t* units, std::size_t size) noexcept {
  static_assert(kLatin1BlockUnits == 8, "one SSE2 register of code units");
  std::size_t start = 0;
  const __m128i highByte = _mm_set1_epi16(static_cast<short>(0xFF00));
  const __m128i controlBits = _mm_set1_epi16(0x00E0);
  const __m128i controlRange = _mm_set1_epi16(0x0080);
  for (; size - start >= kLatin1BlockUnits; start += kLatin1BlockUnits) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + start));
    const __m128i belowHigh = _mm_cmpeq_epi16(_mm_and_si128(chars, highByte), _mm_setzero_si128());
    const __m128i control = _mm_cmpeq_epi16(_mm_and_si128(chars, controlBits), controlRange);
    if (_mm_movemask_epi8(_mm_andnot_si128(control, belowHigh)) != 0xFFFF) {
      break;
    }
  }
  return start;
}

} // namespace sse2
namespace baseline = sse2;
#else
namespace baseline = plain;
#endif

#if QUILLMERE_BLOCK_MASKS_AVX2
namespace avx2 {

// Returns the sum of the four 64-bit numbers of `sums`.
QUILLMERE_AVX2_FUNCTION inline std::size_t SumOfLanes(__m256i sums) noexcept {
  const __m128i pairs =
      _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
  return static_cast<std::size_t>(_mm_cvtsi128_si64(pairs)) +
         static_cast<std::size_t>(_mm_extract_epi64(pairs, 1));
}

// Returns the mask of 64 bytes from the byte masks of their two halves.
inline std::uint64_t JoinHalves(int low, int high) noexcept {
  return std::uint64_t{static_cast<std::uint32_t>(low)} |
         std::uint64_t{static_cast<std::uint32_t>(high)} << 32;
}

// CountEqualAndPairs with AVX2, 32 bytes at a time. Only where UseAvx2().
QUILLMERE_AVX2_FUNCTION inline ByteCounts CountEqualAndPairs(const unsigned char* bytes,
                                                             std::size_t size, unsigned char value,
                                                             unsigned char first,
                                                             unsigned char second) noexcept {
  ByteCounts counts;
  std::size_t i = 0;
  const __m256i wanted = _mm256_set1_epi8(static_cast<char>(value));
  const __m256i wantedFirst = _mm256_set1_epi8(static_cast<char>(first));
  const __m256i wantedSecond = _mm256_set1_epi8(static_cast<char>(second));
  const __m256i zero = _mm256_setzero_si256();
  while (size - i >= 33) {
    const std::size_t end = i + 32 * std::min<std::size_t>((size - i - 1) / 32, 255);
    __m256i equal = zero;
    __m256i pairs = zero;
    for (; i < end; i += 32) {
      const __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
      const __m256i after = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 1));
      equal = _mm256_sub_epi8(equal, _mm256_cmpeq_epi8(chunk, wanted));
      pairs = _mm256_sub_epi8(pairs, _mm256_and_si256(_mm256_cmpeq_epi8(chunk, wantedFirst),
                                                      _mm256_cmpeq_epi8(after, wantedSecond)));
    }
    counts.equal += SumOfLanes(_mm256_sad_epu8(equal, zero));
    counts.pairs += SumOfLanes(_mm256_sad_epu8(pairs, zero));
  }
  CountEqualAndPairsFrom(bytes, i, size, value, first, second, counts);
  return counts;
}

// Returns TwoByteFaults of the 64 bytes from `bytes` on, taken in two halves of 32 bytes and
// compared as signed numbers as TwoByteMasksOf does; ORs their bytes above ASCII into `seen`.
QUILLMERE_AVX2_FUNCTION inline std::uint64_t TwoByteFaultsAt(const unsigned char* bytes,
                                                             std::uint64_t& seen) noexcept {
  const __m256i aboveContinuation = _mm256_set1_epi8(-64);
  const __m256i belowLead = _mm256_set1_epi8(-63);
  const __m256i aboveLead = _mm256_set1_epi8(-32);
  const auto* const halves = reinterpret_cast<const __m256i*>(bytes);
  const __m256i low = _mm256_loadu_si256(halves);
  const __m256i high = _mm256_loadu_si256(halves + 1);
  const std::uint64_t above = JoinHalves(_mm256_movemask_epi8(low), _mm256_movemask_epi8(high));
  const std::uint64_t continuations =
      JoinHalves(_mm256_movemask_epi8(_mm256_cmpgt_epi8(aboveContinuation, low)),
                 _mm256_movemask_epi8(_mm256_cmpgt_epi8(aboveContinuation, high)));
  const std::uint64_t leads =
      JoinHalves(_mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpgt_epi8(low, belowLead),
                                                       _mm256_cmpgt_epi8(aboveLead, low))),
                 _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpgt_epi8(high, belowLead),
                                                       _mm256_cmpgt_epi8(aboveLead, high))));
  seen |= above;
  return TwoByteFaults(above, leads, continuations);
}

// SkipTwoByteBlocks with AVX2. Two blocks are checked before a branch, which is taken rarely;
// whether a block is ASCII is not branched on, as in prose that is as good as random. Only where
// UseAvx2().
QUILLMERE_AVX2_FUNCTION inline std::size_t SkipTwoByteBlocks(const unsigned char* bytes,
                                                             std::size_t size, std::size_t from,
                                                             bool& beyondAscii) noexcept {
  std::uint64_t seen = 0;
  for (; size - from >= 2 * kBlockBytes; from += 2 * kBlockBytes) {
    const std::uint64_t first = TwoByteFaultsAt(bytes + from, seen);
    if ((first | TwoByteFaultsAt(bytes + from + kBlockBytes, seen)) != 0) {
      beyondAscii = true;
      return first != 0 ? from : from + kBlockBytes;
    }
  }
  if (size - from >= kBlockBytes && TwoByteFaultsAt(bytes + from, seen) == 0) {
    from += kBlockBytes;
  }
  beyondAscii = beyondAscii || seen != 0;
  return from;
}

} // namespace avx2
#endif

#if QUILLMERE_BLOCK_MASKS_AVX2
// Returns true when the processor has AVX2 and the system saves its registers on a task switch.
// Asked with cpuid here rather than with GCC's __builtin_cpu_supports, whose start-up code asks the
// processor a good deal more, in every program that links it, before it is needed.
inline bool ProcessorRunsAvx2() noexcept {
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0 || (ecx & bit_OSXSAVE) == 0 ||
      (ecx & bit_AVX) == 0) {
    return false;
  }
  unsigned stateLow = 0;
  unsigned stateHigh = 0;
  __asm__("xgetbv" : "=a"(stateLow), "=d"(stateHigh) : "c"(0));
  constexpr unsigned kSavesSseAndAvx = 0x6;
  if ((stateLow & kSavesSseAndAvx) != kSavesSseAndAvx) {
    return false;
  }
  return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0 && (ebx & bit_AVX2) != 0;
}
#endif

// Returns true where the functions below take their AVX2 form. Asked once.
inline bool UseAvx2() noexcept {
#if QUILLMERE_BLOCK_MASKS_AVX2
  static const bool use = ProcessorRunsAvx2();
  return use;
#else
  return false;
#endif
}

// 64 bytes loaded once and compared several times.
using ByteBlock = baseline::ByteBlock;

// Returns the 64 bytes from `bytes` on, which may lie anywhere in memory.
inline ByteBlock LoadBlock(const unsigned char* bytes) noexcept {
  return baseline::LoadBlock(bytes);
}

// Returns the mask of the bytes of `block` that equal `value`.
inline std::uint64_t EqualMask(const ByteBlock& block, unsigned char value) noexcept {
  return baseline::EqualMask(block, value);
}

// Returns the mask of the bytes of `block` that are 0x80 or above: every byte of UTF-8 outside
// ASCII.
inline std::uint64_t HighMask(const ByteBlock& block) noexcept {
  return baseline::HighMask(block);
}

// Returns the two-byte masks of `block`.
inline TwoByteMasks TwoByteMasksOf(const ByteBlock& block) noexcept {
  return baseline::TwoByteMasksOf(block);
}

// Returns how many of the `size` bytes from `bytes` on equal `value`.
inline std::size_t CountEqual(const unsigned char* bytes, std::size_t size,
                              unsigned char value) noexcept {
  return baseline::CountEqual(bytes, size, value);
}

// Returns how many of the `size` bytes from `bytes` on equal `value`, and at how many positions the
// byte equals `first` and the byte after it, also among the `size`, `second`. Blocks add their
// matches to byte-wide counters, which are summed up before they can overflow.
inline ByteCounts CountEqualAndPairs(const unsigned char* bytes, std::size_t size,
                                     unsigned char value, unsigned char first,
                                     unsigned char second) noexcept {
#if QUILLMERE_BLOCK_MASKS_AVX2
  if (UseAvx2()) {
    return avx2::CountEqualAndPairs(bytes, size, value, first, second);
  }
#endif
  return baseline::CountEqualAndPairs(bytes, size, value, first, second);
}

// Returns the start of the first block of 64 bytes, from `from` on in steps of 64, whose bytes
// above ASCII are not all whole two-byte characters of UTF-8 within it (it holds a longer
// character, an invalid byte, or a character cut by its edge), or else the first position from
// which fewer than 64 of the `size` bytes are left. `from` should be the start of a character.
// Sets `beyondAscii` when a block it passed, or the one it stopped at, holds a byte above ASCII.
inline std::size_t SkipTwoByteBlocks(const unsigned char* bytes, std::size_t size, std::size_t from,
                                     bool& beyondAscii) noexcept {
#if QUILLMERE_BLOCK_MASKS_AVX2
  if (UseAvx2()) {
    return avx2::SkipTwoByteBlocks(bytes, size, from, beyondAscii);
  }
#endif
  return baseline::SkipTwoByteBlocks(bytes, size, from, beyondAscii);
}

// Returns the mask of the 64 UTF-16 code units from `units` on that equal `value`.
inline std::uint64_t EqualMask16(const char16_t* units, char16_t value) noexcept {
  return baseline::EqualMask16(units, value);
}

// Returns how many of the `size` UTF-16 code units from `units` on, in whole blocks of
// kLatin1BlockUnits, are below 0x80 or 0xA0 to 0xFF (Latin-1 without its C1 controls, which
// Windows-1252 shares with it), up to the first block that holds another unit; 0 for fewer units
// than a block.
inline std::size_t SkipLatin1Blocks(const char16_t* units, std::size_t size) noexcept {
  return baseline::SkipLatin1Blocks(units, size);
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
