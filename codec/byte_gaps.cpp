#include "byte_gaps.hpp"

#include "block_masks.hpp"

#include <bit>
#include <cstring>

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

// Returns the gap masks of `block`, whose byte before is C2 when `afterC2` is set; the plain
// spaces only when `withSpaces` is set. In UTF-8 an A0 is a no-break space only right after C2.
template <bool kUtf8>
GapMasks MasksOf(const ByteBlock& block, bool afterC2, bool withSpaces) noexcept {
  GapMasks masks;
  masks.noBreak = block_masks::EqualMask(block, kNoBreakByte);
  if (kUtf8 && masks.noBreak != 0) {
    masks.noBreak &= (block_masks::EqualMask(block, kNoBreakLead) << 1) | std::uint64_t{afterC2};
  }
  if (withSpaces) {
    masks.spaces = block_masks::EqualMask(block, kSpaceByte);
  }
  return masks;
}

// Calls handle(start, masks) for each block of 64 bytes of `bytes` in order, the last one filled
// up with zero bytes, until handle returns false; returns whether it got to the end. `afterC2`
// tells whether the byte before `bytes` is C2; withSpaces() is asked for each block whether its
// plain spaces are wanted.
template <bool kUtf8, typename WithSpaces, typename Handle>
bool ForEachBlock(const unsigned char* bytes, std::size_t size, bool afterC2, WithSpaces withSpaces,
                  Handle handle) {
  std::size_t start = 0;
  for (; start + kBlockBytes <= size; start += kBlockBytes) {
    const bool before = start == 0 ? afterC2 : bytes[start - 1] == kNoBreakLead;
    if (!handle(start,
                MasksOf<kUtf8>(block_masks::LoadBlock(bytes + start), before, withSpaces()))) {
      return false;
    }
  }
  if (start == size) {
    return true;
  }
  unsigned char tail[kBlockBytes] = {};
  std::memcpy(tail, bytes + start, size - start);
  const bool before = start == 0 ? afterC2 : bytes[start - 1] == kNoBreakLead;
  return handle(start, MasksOf<kUtf8>(block_masks::LoadBlock(tail), before, withSpaces()));
}

// Calls visit(position, isNoBreakSpace) for the gaps of `bytes` in text order, a UTF-8 no-break
// space at the position of its A0, until visit returns false. The arguments are ForEachBlock's.
template <bool kUtf8, typename WithSpaces, typename Visit>
void ForEachGap(const unsigned char* bytes, std::size_t size, bool afterC2, WithSpaces withSpaces,
                Visit visit) {
  ForEachBlock<kUtf8>(
      bytes, size, afterC2, withSpaces, [&visit](std::size_t start, const GapMasks& masks) {
        for (std::uint64_t gaps = masks.spaces | masks.noBreak; gaps != 0; gaps &= gaps - 1) {
          const auto offset = static_cast<unsigned>(std::countr_zero(gaps));
          if (!visit(start + offset, ((masks.noBreak >> offset) & 1U) != 0)) {
            return false;
          }
        }
        return true;
      });
}

constexpr auto kAllBlocks = [] { return true; };

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

// GapHider::Hide for UTF-8. The bytes between gaps are copied in runs. Once every bit is written,
// only the no-break spaces of a block are visited: the bytes of the plain spaces stay as they are,
// and a block without a no-break space is passed over, to be copied with its neighbours at once.
std::size_t HideUtf8(const unsigned char* in, std::size_t size, char* const outBegin,
                     MessageBitCursor& bits, bool& heldC2) noexcept {
  if (size == 0) {
    return 0;
  }
  char* out = outBegin;
  const bool afterC2 = heldC2;
  if (heldC2 && in[0] != kNoBreakByte) {
    *out++ = static_cast<char>(kNoBreakLead);
  }
  heldC2 = in[size - 1] == kNoBreakLead;
  const std::size_t end = size - (heldC2 ? 1 : 0);
  std::size_t from = 0; // first byte not yet written
  ForEachGap<true>(
      in, end, afterC2, [&bits] { return !bits.Done(); },
      [&](std::size_t at, bool noBreak) {
        // A no-break space at the start of the piece began with the C2 kept back, not written.
        const std::size_t gapStart = noBreak && at > 0 ? at - 1 : at;
        out = CopyRun(in + from, gapStart - from, in + size, out);
        const unsigned bit = bits.Next();
        out[0] = static_cast<char>(bit != 0 ? kNoBreakLead : kSpaceByte);
        out[1] = static_cast<char>(kNoBreakByte);
        out += 1 + bit;
        from = at + 1;
        return true;
      });
  if (end > from) {
    std::memcpy(out, in + from, end - from);
    out += end - from;
  }
  return static_cast<std::size_t>(out - outBegin);
}

template <bool kUtf8>
void CountGaps(const unsigned char* bytes, std::size_t size, bool afterC2, std::uint64_t& spaces,
               std::uint64_t& noBreakSpaces) noexcept {
  ForEachBlock<kUtf8>(bytes, size, afterC2, kAllBlocks, [&](std::size_t, const GapMasks& masks) {
    spaces += block_masks::CountBits(masks.spaces);
    noBreakSpaces += block_masks::CountBits(masks.noBreak);
    return true;
  });
}

const unsigned char* BytesOf(std::string_view piece) noexcept {
  return reinterpret_cast<const unsigned char*>(piece.data());
}

} // namespace

void GapCounter::Count(std::string_view piece) noexcept {
  if (piece.empty()) {
    return;
  }
  if (encoding_ == TextEncoding::Utf8) {
    CountGaps<true>(BytesOf(piece), piece.size(), afterC2_, spaces_, noBreakSpaces_);
    afterC2_ = BytesOf(piece)[piece.size() - 1] == kNoBreakLead;
  } else {
    CountGaps<false>(BytesOf(piece), piece.size(), false, spaces_, noBreakSpaces_);
  }
}

std::size_t GapHider::Hide(std::string_view piece, char* out) noexcept {
  if (encoding_ == TextEncoding::Utf8) {
    return HideUtf8(BytesOf(piece), piece.size(), out, bits_, heldC2_);
  }
  if (!piece.empty()) {
    std::memcpy(out, piece.data(), piece.size());
  }
  HideInPlace({out, piece.size()});
  return piece.size();
}

void GapHider::HideInPlace(std::span<char> piece) noexcept {
  auto* const bytes = reinterpret_cast<unsigned char*>(piece.data());
  ForEachGap<false>(
      bytes, piece.size(), false, [this] { return !bits_.Done(); },
      [&](std::size_t at, bool) {
        bytes[at] = bits_.Next() != 0 ? kNoBreakByte : kSpaceByte;
        return true;
      });
}

std::size_t GapHider::Finish(char* out) noexcept {
  if (!heldC2_) {
    return 0;
  }
  heldC2_ = false;
  out[0] = static_cast<char>(kNoBreakLead);
  return 1;
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
    ForEachGap<true>(BytesOf(piece), piece.size(), afterC2_, kAllBlocks, visit);
    afterC2_ = BytesOf(piece)[piece.size() - 1] == kNoBreakLead;
  } else {
    ForEachGap<false>(BytesOf(piece), piece.size(), false, kAllBlocks, visit);
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
    ForEachGap<true>(BytesOf(piece), piece.size(), afterC2_, kAllBlocks, visit);
    afterC2_ = BytesOf(piece)[piece.size() - 1] == kNoBreakLead;
  } else {
    ForEachGap<false>(BytesOf(piece), piece.size(), false, kAllBlocks, visit);
  }
}

} // namespace quillmere
