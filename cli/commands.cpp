// SPDX-License-Identifier: MIT
#include "commands.hpp"

#include "codec/gap_carriers.hpp"
#include "codec/windows1252.hpp"

#include <algorithm>
#include <cstdio>

namespace quillmere::cli {
namespace {

void Print(std::string_view bytes) {
  WriteAll("-", bytes);
}

void CheckFits(const HideReport& report, bool truncate) {
  if (report.gapsNeeded > report.gapsAvailable && !truncate) {
    throw ToolError("the message needs " + std::to_string(report.gapsNeeded) +
                    " gaps, but the cover has only " + std::to_string(report.gapsAvailable) +
                    " (use --truncate to hide only what fits)");
  }
}

} // namespace

MessageHider::MessageHider(std::u16string_view message)
    : bits_(MessageToBits(message)), replaced_(CountUnencodable(message)) {}

void MessageHider::HideIn(std::span<char16_t> piece) noexcept {
  // No-break spaces already in a cover would otherwise read as 1 bits between or after the
  // message's own.
  const std::u16string_view bits = std::u16string_view(bits_).substr(next_);
  const std::size_t gaps = MakeGapsPlain(piece);
  EmbedBitsInPlace(piece, bits);
  next_ += std::min(gaps, bits.size());
}

std::size_t CountGaps(std::u16string_view text) noexcept {
  return Capacity(text) +
         static_cast<std::size_t>(std::count(text.begin(), text.end(), kNoBreakSpace));
}

HideReport HideInPlace(std::u16string& cover, std::u16string_view message, bool truncate) {
  MessageHider hider(message);
  const HideReport report{hider.GapsNeeded(), CountGaps(cover), hider.Replaced()};
  CheckFits(report, truncate);
  hider.HideIn(cover);
  return report;
}

std::u16string RevealMessage(std::u16string_view stego) {
  return std::u16string(CutAtNul(BitsToMessage(ExtractBits(stego))));
}

CoverCapacity MeasureCapacity(std::u16string_view cover) {
  const std::size_t gaps = CountGaps(cover);
  return {gaps, gaps / 8};
}

void RunHide(const HideOptions& options, const WarningSink& warn) {
  // The cover is decoded twice, a piece at a time: first to validate it and count its gaps, so
  // that nothing is written for a bad cover or too long a message, then to hide and write. The
  // pieces stay in the processor's cache, where a whole decoded copy of a large cover would not.
  const InputBytes input(options.coverPath);
  const std::string_view cover = input.View();
  MessageHider hider(options.message);
  HideReport report{hider.GapsNeeded(), 0, hider.Replaced()};
  DecodeInPieces(cover, options.encoding, options.coverPath, [&report](std::span<char16_t> piece) {
    report.gapsAvailable += MakeGapsPlain(piece);
  });
  CheckFits(report, options.truncate);

  AtomicOutput output(options.outputPath);
  std::string bytes;
  DecodeInPieces(cover, options.encoding, options.coverPath, [&](std::span<char16_t> piece) {
    hider.HideIn(piece);
    bytes.clear();
    AppendEncoded({piece.data(), piece.size()}, options.encoding, bytes);
    output.Write(bytes);
  });
  output.Commit();
  if (report.replaced > 0) {
    warn(std::to_string(report.replaced) +
         " message character(s) have no Windows-1252 code and were hidden as \"?\"");
  }
  if (report.gapsNeeded > report.gapsAvailable) {
    warn("the message was cut to the cover's " + std::to_string(report.gapsAvailable) + " of " +
         std::to_string(report.gapsNeeded) + " gaps");
  }
}

void RunReveal(const RevealOptions& options) {
  // Whole groups of eight bits become characters piece by piece, the rest waits for the next
  // piece. After the first U+0000 the message is complete, but the text is still checked.
  BitString bits;
  std::u16string message;
  bool complete = false;
  DecodeInPieces(InputBytes(options.stegoPath).View(), options.encoding, options.stegoPath,
                 [&](std::span<char16_t> piece) {
                   if (complete) {
                     return;
                   }
                   bits += ExtractBits({piece.data(), piece.size()});
                   if (options.bits) {
                     return;
                   }
                   const std::size_t whole = bits.size() / 8 * 8;
                   message += BitsToMessage(std::u16string_view(bits).substr(0, whole));
                   bits.erase(0, whole);
                   complete = message.find(u'\0') != std::u16string::npos;
                 });
  if (options.bits) {
    Print(std::string(bits.begin(), bits.end()) + "\n");
  } else {
    message += BitsToMessage(bits);
    Print(EncodeText(CutAtNul(message), options.encoding));
  }
}

void RunCapacity(const CapacityOptions& options) {
  CoverCapacity capacity;
  DecodeInPieces(InputBytes(options.coverPath).View(), options.encoding, options.coverPath,
                 [&capacity](std::span<char16_t> piece) { capacity.gaps += MakeGapsPlain(piece); });
  capacity.characters = capacity.gaps / 8;
  Print(std::to_string(capacity.gaps) + " gaps, " + std::to_string(capacity.characters) +
        " characters\n");
}

} // namespace quillmere::cli
