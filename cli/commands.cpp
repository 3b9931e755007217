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

// Reveal stops at the first U+0000, so everything after one could never be read back.
std::u16string_view CheckedMessage(std::u16string_view message) {
  const std::size_t nul = message.find(u'\0');
  if (nul != std::u16string_view::npos) {
    // Characters are counted as the user sees them: a surrogate pair is one.
    const auto lowHalves =
        std::count_if(message.begin(), message.begin() + static_cast<std::ptrdiff_t>(nul),
                      [](char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; });
    throw ToolError("the message holds U+0000 at character " +
                    std::to_string(nul + 1 - static_cast<std::size_t>(lowHalves)) +
                    "; nothing after it could be revealed");
  }
  return message;
}

} // namespace

MessageHider::MessageHider(std::u16string_view message)
    : bits_(MessageToBits(CheckedMessage(message))), replaced_(CountUnencodable(message)) {}

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
  MessageHider hider(options.message);
  const InputBytes input(options.coverPath);
  const std::string_view cover = input.View();
  if (options.encoding == Encoding::Windows1252 && !options.force && LooksLikeUtf8(cover)) {
    throw ToolError(
        (IsStandardStream(options.coverPath) ? std::string("standard input") : options.coverPath) +
        ": the cover is UTF-8 with characters beyond ASCII, which Windows-1252 would "
        "corrupt where their last byte is A0, a no-break space there (\"\u00E0\" "
        "is C3 A0); leave out --encoding windows-1252, or give --force to hide anyway");
  }
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
  // piece. After the first U+0000 the message is complete, but the text is still checked; only
  // when the message is empty are its gaps still counted, for the report.
  BitString bits;
  std::u16string message;
  bool complete = false;
  std::size_t gaps = 0;
  std::size_t noBreakSpaces = 0;
  DecodeInPieces(
      InputBytes(options.stegoPath).View(), options.encoding, options.stegoPath,
      [&](std::span<char16_t> piece) {
        const std::u16string_view text(piece.data(), piece.size());
        if (complete) {
          if (message.front() == u'\0') {
            gaps += CountGaps(text);
            noBreakSpaces +=
                static_cast<std::size_t>(std::count(text.begin(), text.end(), kNoBreakSpace));
          }
          return;
        }
        const BitString pieceBits = ExtractBits(text);
        gaps += pieceBits.size();
        noBreakSpaces +=
            static_cast<std::size_t>(std::count(pieceBits.begin(), pieceBits.end(), u'1'));
        bits += pieceBits;
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
    return;
  }
  message += BitsToMessage(bits);
  const std::u16string_view revealed = CutAtNul(message);
  if (revealed.empty()) {
    // A text whose no-break spaces were lost on the way reads exactly as one that never held a
    // message; either way, saying nothing and succeeding would hide the failure.
    throw NoHiddenMessage(gaps == 0 ? std::string("no hidden message: the text has no gaps")
                          : noBreakSpaces == 0
                              ? "no hidden message: all " + std::to_string(gaps) +
                                    " gaps are ordinary spaces"
                              : std::string("no hidden message: its first eight gaps are "
                                            "ordinary spaces"));
  }
  Print(EncodeText(revealed, options.encoding));
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
