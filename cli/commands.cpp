#include "commands.hpp"

#include "codec/gap_carriers.hpp"
#include "codec/windows1252.hpp"

#include <algorithm>
#include <cstdio>

namespace quillmere::cli {
namespace {

std::size_t CountGaps(std::u16string_view text) noexcept {
  return Capacity(text) +
         static_cast<std::size_t>(std::count(text.begin(), text.end(), kNoBreakSpace));
}

void Print(std::string_view bytes) {
  WriteAll("-", bytes);
}

} // namespace

HideReport HideInPlace(std::u16string& cover, std::u16string_view message, bool truncate) {
  const BitString bits = MessageToBits(message);
  const HideReport report{bits.size(), CountGaps(cover), CountUnencodable(message)};
  if (report.gapsNeeded > report.gapsAvailable && !truncate) {
    throw ToolError("the message needs " + std::to_string(report.gapsNeeded) +
                    " gaps, but the cover has only " + std::to_string(report.gapsAvailable) +
                    " (use --truncate to hide only what fits)");
  }
  // No-break spaces already in the cover would otherwise read as 1 bits between or after the
  // message's own.
  std::replace(cover.begin(), cover.end(), kNoBreakSpace, kSpace);
  EmbedBitsInPlace(cover, bits);
  return report;
}

std::u16string RevealMessage(std::u16string_view stego) {
  const std::u16string message = BitsToMessage(ExtractBits(stego));
  return std::u16string(message.substr(0, message.find(u'\0')));
}

CoverCapacity MeasureCapacity(std::u16string_view cover) {
  const std::size_t gaps = CountGaps(cover);
  return {gaps, gaps / 8};
}

void RunHide(const HideOptions& options, const WarningSink& warn) {
  std::u16string cover =
      DecodeText(ReadAll(options.coverPath), options.encoding, options.coverPath);
  const HideReport report = HideInPlace(cover, options.message, options.truncate);
  const std::string stego = EncodeText(cover, options.encoding);
  WriteAll(options.outputPath, stego);
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
  const std::u16string stego =
      DecodeText(ReadAll(options.stegoPath), options.encoding, options.stegoPath);
  if (options.bits) {
    const BitString bits = ExtractBits(stego);
    Print(std::string(bits.begin(), bits.end()) + "\n");
  } else {
    Print(EncodeText(RevealMessage(stego), options.encoding));
  }
}

void RunCapacity(const CapacityOptions& options) {
  const CoverCapacity capacity =
      MeasureCapacity(DecodeText(ReadAll(options.coverPath), options.encoding, options.coverPath));
  Print(std::to_string(capacity.gaps) + " gaps, " + std::to_string(capacity.characters) +
        " characters\n");
}

} // namespace quillmere::cli
