// SPDX-License-Identifier: MIT
#include "byte_gaps.hpp"

#include "block_masks.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace quillmere {
namespace {

using block_masks::ByteBlock;
using block_masks::kBlockBytes;

constexpr unsigned char kSpaceByte = 0x20;
constexpr unsigned char kNoBreakByte = 0xA0; // Windows-1252's no-break space; UTF-8's ends in it
constexpr unsigned char kNoBreakLead = 0xC2; // the first byte of UTF-8's no-break space

// The gaps of one block: plain spaces, and no-break spaces at their byte A0.
struct GapMasks {
  std::uint64_t spaces = 0;
  std::uint64_t noBreak = 0;
};

// Returns the gap masks of `block`, whose byte before is C2 when `afterC2` is set. In UTF-8 an A0
// is a no-break space only right after C2.
template <bool kUtf8>
GapMasks MasksOf(const ByteBlock& block, bool afterC2) noexcept {
  GapMasks masks;
  masks.spaces = block_masks::EqualMask(block, kSpaceByte);
  masks.noBreak = block_masks::EqualMask(block, kNoBreakByte);
  if (kUtf8 && masks.noBreak != 0) {
    masks.noBreak &= (block_masks::EqualMask(block, kNoBreakLead) << 1) | std::uint64_t{afterC2};
  }
  return masks;
}

// Calls visit(start, masks) with the gap masks of each block of 64 bytes of `bytes`, in text order,
// until visit returns false; `start` is where the block begins. A UTF-8 no-break space is marked at
// its A0. `afterC2` tells whether the byte before `bytes` is C2. The last block is filled up with
// zero bytes.
template <bool kUtf8, typename Visit>
void ForEachGapBlock(const unsigned char* bytes, std::size_t size, bool afterC2, Visit visit) {
  unsigned char tail[kBlockBytes];
  for (std::size_t start = 0; start < size; start += kBlockBytes) {
    const unsigned char* block = bytes + start;
    if (size - start < kBlockBytes) {
      std::memset(tail, 0, sizeof tail);
      std::memcpy(tail, block, size - start);
      block = tail;
    }
    const bool before = start == 0 ? afterC2 : bytes[start - 1] == kNoBreakLead;
    if (!visit(start, MasksOf<kUtf8>(block_masks::LoadBlock(block), before))) {
      return;
    }
  }
}

// Calls visit(position, isNoBreakSpace) for the gaps of `bytes` in text order, a UTF-8 no-break
// space at the position of its A0, until visit returns false. `afterC2` tells whether the byte
// before `bytes` is C2.
template <bool kUtf8, typename Visit>
void ForEachGap(const unsigned char* bytes, std::size_t size, bool afterC2, Visit visit) {
  ForEachGapBlock<kUtf8>(bytes, size, afterC2, [&](std::size_t start, const GapMasks& masks) {
    for (std::uint64_t gaps = masks.spaces | masks.noBreak; gaps != 0; gaps &= gaps - 1) {
      const auto offset = static_cast<unsigned>(std::countr_zero(gaps));
      if (!visit(start + offset, ((masks.noBreak >> offset) & 1U) != 0)) {
        return false;
      }
    }
    return true;
  });
}

// Calls visit(position) for each no-break space of `bytes` from `from` on, at its A0, in text
// order. Where no-break spaces are rare, as they are once a message is hidden, memchr passes over
// the runs between them faster than the blocks' masks would.
template <bool kUtf8, typename Visit>
void ForEachNoBreakSpace(const unsigned char* bytes, std::size_t from, std::size_t size,
                         bool afterC2, Visit visit) {
  while (from < size) {
    const void* const found = std::memchr(bytes + from, kNoBreakByte, size - from);
    if (found == nullptr) {
      return;
    }
    const auto at = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - bytes);
    if (!kUtf8 || (at == 0 ? afterC2 : bytes[at - 1] == kNoBreakLead)) {
      visit(at);
    }
    from = at + 1;
  }
}

// Copies `length` bytes from `from` to `out` and returns the end of the copy. A run of at most 16
// bytes, the length of most words, is copied as 16 bytes, which costs less than a copy of the
// exact length, wherever 16 bytes can be read before `end`; `out` has room for them.
char* CopyRun(const unsigned char* from, std::size_t length, const unsigned char* end,
              char* out) noexcept {
  if (length <= 16 && end - from >= 16) {
    std::memcpy(out, from, 16);
  } else if (length > 0) {
    std::memcpy(out, from, length);
  }
  return out + length;
}

// GapHider::Hide for UTF-8. The bytes between gaps are copied in runs, beginning with the first
// change. Once every bit is written, every later gap becomes a plain space: only the no-break
// spaces change, and the runs between them are copied whole.
std::string_view HideUtf8(const unsigned char* in, std::size_t size, char* const outBegin,
                          MessageBitCursor& bits, bool& heldC2) noexcept {
  if (size == 0) {
    return {};
  }
  char* out = outBegin;
  const bool afterC2 = heldC2;
  if (heldC2 && in[0] != kNoBreakByte) {
    *out++ = static_cast<char>(kNoBreakLead);
  }
  heldC2 = in[size - 1] == kNoBreakLead;
  const std::size_t end = size - (heldC2 ? 1 : 0);
  std::size_t from = 0; // first byte not yet written
  const auto writeGap = [&](std::size_t at, bool noBreak, unsigned bit) {
    // A no-break space at the start of the piece began with the C2 kept back, not written.
    const std::size_t gapStart = noBreak && at > 0 ? at - 1 : at;
    out = CopyRun(in + from, gapStart - from, in + size, out);
    out[0] = static_cast<char>(bit != 0 ? kNoBreakLead : kSpaceByte);
    out[1] = static_cast<char>(kNoBreakByte);
    out += 1 + bit;
    from = at + 1;
  };
  // The bits go into the gaps a block at a time, with the block's share of them taken at once, so
  // that the loop over a block's gaps keeps its state in registers. Gaps after the last bit take 0,
  // a plain space, as they do below.
  if (!bits.Done()) {
    ForEachGapBlock<true>(in, end, afterC2, [&](std::size_t start, const GapMasks& masks) {
      std::uint64_t gaps = masks.spaces | masks.noBreak;
      std::uint64_t word = bits.Take(static_cast<unsigned>(block_masks::CountBits(gaps)));
      for (; gaps != 0; gaps &= gaps - 1, word <<= 1) {
        const auto offset = static_cast<unsigned>(std::countr_zero(gaps));
        writeGap(start + offset, ((masks.noBreak >> offset) & 1U) != 0,
                 static_cast<unsigned>(word >> 63));
      }
      return !bits.Done();
    });
  }
  if (bits.Done()) {
    ForEachNoBreakSpace<true>(in, from, end, afterC2,
                              [&](std::size_t at) { writeGap(at, true, 0); });
  }
  if (out == outBegin) { // nothing changed, and nothing was copied
    return {reinterpret_cast<const char*>(in), end};
  }
  if (end > from) {
    std::memcpy(out, in + from, end - from);
    out += end - from;
  }
  return {outBegin, static_cast<std::size_t>(out - outBegin)};
}

// Where CheckUtf8 stopped: at the end of the run, or at a character that is invalid or cut short.
struct RunEnd {
  std::size_t position = 0;
  int length = 1; // what Utf8SequenceLength gave for the character at `position`
};

// Checks the UTF-8 characters of `bytes` from `start` on. Blocks of 64 bytes whose bytes above
// ASCII make only two-byte characters, or that have none, are passed over as a whole. In any other
// block the mask of bytes above ASCII leads to each character outside ASCII, which is checked on
// its own; the bytes it covers are taken off the mask. Sets `beyondAscii` when it meets a byte
// above ASCII.
RunEnd CheckUtf8(const unsigned char* bytes, std::size_t size, std::size_t start,
                 bool& beyondAscii) noexcept {
  std::size_t next = start; // first byte not yet known to be part of a valid character
  while (true) {
    const std::size_t block = block_masks::SkipTwoByteBlocks(bytes, size, next, beyondAscii);
    if (size - block < kBlockBytes) {
      next = block;
      break;
    }
    std::uint64_t high = block_masks::HighMask(block_masks::LoadBlock(bytes + block));
    next = block;
    while (high != 0) {
      const std::size_t at = block + static_cast<std::size_t>(std::countr_zero(high));
      const int length = Utf8SequenceLength(bytes + at, size - at);
      if (length <= 0) {
        return {at, length};
      }
      // The character may reach up to three bytes into the next block.
      next = at + static_cast<std::size_t>(length);
      if (next - block >= kBlockBytes) {
        break;
      }
      high &= ~std::uint64_t{0} << (next - block);
    }
    next = std::max(next, block + kBlockBytes);
  }
  for (; next < size; ++next) {
    if (bytes[next] < 0x80) {
      continue;
    }
    beyondAscii = true;
    const int length = Utf8SequenceLength(bytes + next, size - next);
    if (length <= 0) {
      return {next, length};
    }
    next += static_cast<std::size_t>(length) - 1;
  }
  return {size, 1};
}

const unsigned char* BytesOf(std::string_view piece) noexcept {
  return reinterpret_cast<const unsigned char*>(piece.data());
}

} // namespace

bool TextScanner::Scan(std::string_view piece) noexcept {
  if (invalid_ != kNoOffset) {
    return false;
  }
  const unsigned char* const bytes = BytesOf(piece);
  if (encoding_ == TextEncoding::Windows1252) {
    spaces_ += block_masks::CountEqual(bytes, piece.size(), kSpaceByte);
    noBreakSpaces_ += block_masks::CountEqual(bytes, piece.size(), kNoBreakByte);
    scanned_ += piece.size();
    return true;
  }
  // In valid UTF-8, C2 A0 is always a no-break space; its two bytes may lie in two pieces.
  const block_masks::ByteCounts counts =
      block_masks::CountEqualAndPairs(bytes, piece.size(), kSpaceByte, kNoBreakLead, kNoBreakByte);
  spaces_ += counts.equal;
  noBreakSpaces_ += counts.pairs;
  if (!piece.empty()) {
    noBreakSpaces_ += static_cast<unsigned>(afterC2_ && bytes[0] == kNoBreakByte);
    afterC2_ = bytes[piece.size() - 1] == kNoBreakLead;
  }
  std::size_t start = 0;
  if (heldCount_ > 0) {
    // Finish the character the last piece cut short; the whole of it is checked at once.
    const std::size_t take = std::min(sizeof held_ - heldCount_, piece.size());
    if (take > 0) {
      std::memcpy(held_ + heldCount_, bytes, take);
    }
    const int length = Utf8SequenceLength(held_, heldCount_ + take);
    if (length == 0) {
      invalid_ = scanned_ - heldCount_;
      return false;
    }
    if (length == kUtf8Truncated) { // the piece is shorter than what the character still needs
      heldCount_ += take;
      scanned_ += piece.size();
      return true;
    }
    start = static_cast<std::size_t>(length) - heldCount_;
    heldCount_ = 0;
  }
  const RunEnd end = CheckUtf8(bytes, piece.size(), start, beyondAscii_);
  if (end.length == 0) {
    invalid_ = scanned_ + end.position;
    return false;
  }
  if (end.length == kUtf8Truncated) {
    heldCount_ = piece.size() - end.position;
    std::memcpy(held_, bytes + end.position, heldCount_);
  }
  scanned_ += piece.size();
  return true;
}

bool TextScanner::Finish() noexcept {
  if (invalid_ == kNoOffset && heldCount_ > 0) {
    invalid_ = scanned_ - heldCount_;
  }
  return invalid_ == kNoOffset;
}

std::string_view GapHider::Hide(std::string_view piece, char* out) noexcept {
  if (encoding_ == TextEncoding::Utf8) {
    return HideUtf8(BytesOf(piece), piece.size(), out, bits_, heldC2_);
  }
  if (piece.empty() ||
      (bits_.Done() && std::memchr(piece.data(), kNoBreakByte, piece.size()) == nullptr)) {
    return piece;
  }
  std::memcpy(out, piece.data(), piece.size());
  HideInPlace({out, piece.size()});
  return {out, piece.size()};
}

void GapHider::HideInPlace(std::span<char> piece) noexcept {
  auto* const bytes = reinterpret_cast<unsigned char*>(piece.data());
  std::size_t from = 0;
  if (!bits_.Done()) {
    ForEachGap<false>(bytes, piece.size(), false, [&](std::size_t at, bool) {
      bytes[at] = bits_.Next() != 0 ? kNoBreakByte : kSpaceByte;
      from = at + 1;
      return !bits_.Done();
    });
  }
  if (bits_.Done()) {
    ForEachNoBreakSpace<false>(bytes, from, piece.size(), false,
                               [bytes](std::size_t at) { bytes[at] = kSpaceByte; });
  }
}

std::string_view GapHider::Finish() noexcept {
  return std::exchange(heldC2_, false) ? std::string_view("\xC2", 1) : std::string_view();
}

void MessageReader::Read(std::string_view piece) {
  if (complete_ || piece.empty()) {
    return;
  }
  const auto visit = [this](std::size_t, bool noBreak) {
    code_ = (code_ << 1) | static_cast<unsigned>(noBreak);
    if (++codeBits_ < 8) {
      return true;
    }
    codeBits_ = 0;
    complete_ = code_ == 0;
    if (!complete_) {
      codes_.push_back(static_cast<char>(code_));
    }
    code_ = 0;
    return !complete_;
  };
  if (encoding_ == TextEncoding::Utf8) {
    ForEachGap<true>(BytesOf(piece), piece.size(), afterC2_, visit);
    afterC2_ = BytesOf(piece)[piece.size() - 1] == kNoBreakLead;
  } else {
    ForEachGap<false>(BytesOf(piece), piece.size(), false, visit);
  }
}

void MessageReader::Finish() {
  if (complete_ || codeBits_ == 0) {
    return;
  }
  const unsigned code = code_ << (8 - codeBits_);
  codeBits_ = 0;
  code_ = 0;
  complete_ = code == 0;
  if (!complete_) {
    codes_.push_back(static_cast<char>(code));
  }
}

void BitReader::Read(std::string_view piece, std::string& bits) {
  if (piece.empty()) {
    return;
  }
  const auto visit = [&bits](std::size_t, bool noBreak) {
    bits.push_back(noBreak ? '1' : '0');
    return true;
  };
  if (encoding_ == TextEncoding::Utf8) {
    ForEachGap<true>(BytesOf(piece), piece.size(), afterC2_, visit);
    afterC2_ = BytesOf(piece)[piece.size() - 1] == kNoBreakLead;
  } else {
    ForEachGap<false>(BytesOf(piece), piece.size(), false, visit);
  }
}

std::uint64_t FindInvalidUtf8(std::string_view bytes) noexcept {
  TextScanner scanner(TextEncoding::Utf8);
  scanner.Scan(bytes);
  scanner.Finish();
  return scanner.InvalidOffset();
}

} // namespace quillmere
