// SPDX-License-Identifier: MIT
#include "commands.hpp"

#include "codec/utf8_bytes.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quillmere::cli {
namespace {

void Print(std::string_view bytes) {
  WriteAll("-", bytes);
}

} // namespace

[[noreturn]] void ThrowInvalidUtf8(std::string_view name, std::uint64_t offset) {
  throw ToolError(std::string(name) + ": not valid UTF-8 at byte offset " + std::to_string(offset) +
                  " (use --encoding windows-1252 for files in that code page)");
}

void ScanOrThrow(TextScanner& scanner, std::string_view bytes, std::string_view name) {
  if (!scanner.Scan(bytes)) {
    ThrowInvalidUtf8(name, scanner.InvalidOffset());
  }
}

void FinishOrThrow(TextScanner& scanner, std::string_view name) {
  if (!scanner.Finish()) {
    ThrowInvalidUtf8(name, scanner.InvalidOffset());
  }
}

namespace {

// Reveal stops at the first U+0000, so everything after one could never be read back.
Message Checked(Message message) {
  const std::size_t nul = message.codes.find('\0');
  if (nul != std::string::npos) {
    // One code per character as the user sees it: an emoji is one.
    throw ToolError("the message holds U+0000 at character " + std::to_string(nul + 1) +
                    "; nothing after it could be revealed");
  }
  return message;
}

void CheckFits(const HideReport& report, bool truncate) {
  if (report.gapsNeeded > report.gapsAvailable && !truncate) {
    throw ToolError("the message needs " + std::to_string(report.gapsNeeded) +
                    " gaps, but the cover has only " + std::to_string(report.gapsAvailable) +
                    " (use --truncate to hide only what fits)");
  }
}

// Returns "1 <one>" or "<count> <many>".
std::string Counted(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// Appends the bits of `bits`, its characters '0' and '1', to `packed` from bit `count` on, one bit
// each, the first in the lowest bit of a word; advances `count`.
void PackBits(std::string_view bits, std::vector<std::uint64_t>& packed, std::uint64_t& count) {
  while (!bits.empty()) {
    const auto offset = static_cast<unsigned>(count % 64);
    if (offset == 0) {
      packed.push_back(0);
    }
    const std::size_t take = std::min<std::size_t>(64 - offset, bits.size());
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < take; ++i) {
      word |= std::uint64_t{static_cast<unsigned char>(bits[i]) & 1U}
              << (offset + i); // '1' is 0x31
    }
    packed.back() |= word;
    count += take;
    bits.remove_prefix(take);
  }
}

// Passes the `count` bits of `packed` to `print` as '0' and '1', in pieces of kPieceBytes, and a
// line end after them.
void PrintBits(const std::vector<std::uint64_t>& packed, std::uint64_t count,
               const ByteSink& print) {
  std::string piece(kPieceBytes, '\0');
  std::size_t filled = 0;
  for (std::uint64_t at = 0; at < count; at += 64) {
    const std::uint64_t word = packed[static_cast<std::size_t>(at / 64)];
    const auto bits = static_cast<unsigned>(std::min<std::uint64_t>(64, count - at));
    for (unsigned i = 0; i < bits; ++i) {
      piece[filled + i] = static_cast<char>('0' + ((word >> i) & 1U));
    }
    filled += bits;
    if (filled + 64 > piece.size()) {
      print({piece.data(), filled});
      filled = 0;
    }
  }
  piece[filled++] = '\n';
  print({piece.data(), filled});
}

// Calls `visit` with each piece of `source` until the empty piece that ends it.
template <typename Visit>
void ForEachPiece(const PieceSource& source, Visit visit) {
  for (std::span<char> piece = source(); !piece.empty(); piece = source()) {
    visit(piece);
  }
}

} // namespace

Message MessageFromArgument(std::string_view utf8) {
  MessageCodes message = MessageCodesFromUtf8(utf8);
  if (message.invalidOffset != kNoOffset) {
    throw ToolError("the message: not valid UTF-8 at byte offset " +
                    std::to_string(message.invalidOffset));
  }
  return Checked({std::move(message.codes), message.replaced});
}

Message MessageFromFile(const std::string& path, TextEncoding encoding) {
  std::string bytes = ReadWhole(path);
  if (encoding == TextEncoding::Windows1252) {
    return Checked({std::move(bytes), 0});
  }
  MessageCodes message = MessageCodesFromUtf8(bytes);
  if (message.invalidOffset != kNoOffset) {
    ThrowInvalidUtf8(NameForMessages(path), message.invalidOffset);
  }
  return Checked({std::move(message.codes), message.replaced});
}

HideReport HideInPieces(const PieceSource& cover, std::string_view coverName,
                        const Message& message, const HideSettings& settings,
                        const ByteSink& write) {
  TextScanner scanner(settings.encoding);
  // A Windows-1252 cover is read as UTF-8 too: valid UTF-8 beyond ASCII would be corrupted where
  // the last byte of a character is A0, a no-break space in Windows-1252.
  const bool lookForUtf8 = settings.encoding == TextEncoding::Windows1252 && !settings.force;
  TextScanner asUtf8(TextEncoding::Utf8);
  std::optional<GapHider> hider;
  if (write) {
    hider.emplace(settings.encoding, message.codes);
  }
  const auto emit = [&write](std::string_view bytes) {
    if (!bytes.empty()) {
      write(bytes);
    }
  };
  std::unique_ptr<char[]> out;
  std::size_t outRoom = 0;
  HideReport report{0, std::uint64_t{message.codes.size()} * 8, 0, message.replaced};
  ForEachPiece(cover, [&](std::span<char> piece) {
    const std::string_view bytes(piece.data(), piece.size());
    report.coverBytes += bytes.size();
    ScanOrThrow(scanner, bytes, coverName);
    if (lookForUtf8) {
      asUtf8.Scan(bytes);
    }
    if (!hider) {
      return;
    }
    if (settings.encoding == TextEncoding::Windows1252) {
      hider->HideInPlace(piece);
      emit(bytes);
      return;
    }
    if (outRoom < GapHider::OutputRoom(bytes.size())) {
      outRoom = GapHider::OutputRoom(bytes.size());
      out = std::make_unique_for_overwrite<char[]>(outRoom);
    }
    emit(hider->Hide(bytes, out.get()));
  });
  FinishOrThrow(scanner, coverName);
  if (lookForUtf8 && asUtf8.Finish() && asUtf8.BeyondAscii()) {
    throw ToolError(std::string(coverName) +
                    ": the cover is UTF-8 with characters beyond ASCII, which Windows-1252 would "
                    "corrupt where their last byte is A0, a no-break space there (\"\u00E0\" "
                    "is C3 A0); leave out --encoding windows-1252, or give --force to hide anyway");
  }
  report.gapsAvailable = scanner.Gaps();
  report.noBreakSpaces = scanner.NoBreakSpaces();
  CheckFits(report, settings.truncate);
  if (hider) {
    emit(hider->Finish());
  }
  return report;
}

void RevealInPieces(const PieceSource& stego, std::string_view name, TextEncoding encoding,
                    bool bits, const ByteSink& print) {
  // The whole text is checked, also after the message's end, before anything is printed. The
  // bits wait for that packed, one bit per gap, and go out a piece at a time.
  TextScanner scanner(encoding);
  MessageReader message(encoding);
  BitReader bitReader(encoding);
  std::vector<std::uint64_t> packed;
  std::uint64_t bitCount = 0;
  std::string shown;
  ForEachPiece(stego, [&](std::span<char> piece) {
    const std::string_view bytes(piece.data(), piece.size());
    ScanOrThrow(scanner, bytes, name);
    if (!bits) {
      message.Read(bytes);
      return;
    }
    shown.clear();
    bitReader.Read(bytes, shown);
    PackBits(shown, packed, bitCount);
  });
  FinishOrThrow(scanner, name);
  if (bits) {
    PrintBits(packed, bitCount, print);
    return;
  }
  message.Finish();
  if (message.Codes().empty()) {
    // A text whose no-break spaces were lost on the way reads exactly as one that never held a
    // message; either way, saying nothing and succeeding would hide the failure.
    throw NoHiddenMessage(scanner.Gaps() == 0
                              ? std::string("no hidden message: the text has no gaps")
                          : scanner.NoBreakSpaces() == 0
                              ? "no hidden message: all " + std::to_string(scanner.Gaps()) +
                                    " gaps are ordinary spaces"
                              : std::string("no hidden message: its first eight gaps are "
                                            "ordinary spaces"));
  }
  if (encoding == TextEncoding::Windows1252) {
    print(message.Codes());
    return;
  }
  AppendCodesAsUtf8(message.Codes(), shown);
  print(shown);
}

std::string RevealInPieces(const PieceSource& stego, std::string_view name, TextEncoding encoding,
                           bool bits) {
  std::string shown;
  RevealInPieces(stego, name, encoding, bits, [&shown](std::string_view bytes) { shown += bytes; });
  return shown;
}

Message WholeCharactersThatFit(const Message& message, std::uint64_t gaps) {
  if (message.codes.size() <= gaps / 8) {
    return message;
  }
  return {message.codes.substr(0, static_cast<std::size_t>(gaps / 8)), message.replaced};
}

CoverCapacity MeasureInPieces(const PieceSource& cover, std::string_view name,
                              TextEncoding encoding) {
  TextScanner scanner(encoding);
  ForEachPiece(cover, [&](std::span<char> piece) {
    ScanOrThrow(scanner, {piece.data(), piece.size()}, name);
  });
  FinishOrThrow(scanner, name);
  return {scanner.Gaps(), scanner.Gaps() / 8};
}

HideReport RunHide(const HideOptions& options, const WarningSink& warn) {
  TextReader cover(options.coverPath);
  const PieceSource next = [&cover] { return cover.Next(); };
  // As with tee, an output that cannot be opened or written is reported as soon as that is known.
  AtomicOutput output(options.outputPath);
  if (output.WritesInto(cover)) {
    throw ToolError(cover.Name() + ": input file is output file");
  }
  Message message = options.message;
  std::optional<HideReport> checked;
  if (output.WritesDirectly() || options.settings.truncate) {
    // A stream cannot take back what it was given, so the whole cover is checked before the first
    // byte goes out: a regular file is read twice, anything else kept in memory. A new file is
    // written as the cover is read, and dropped when it turns out bad. --truncate needs the gaps
    // counted first too, to hide only the characters that fit whole.
    cover.KeepForRereading();
    checked = HideInPieces(next, cover.Name(), message, options.settings, {});
    // A change seen now costs the stream nothing yet; one during the second read is still told.
    if (cover.Changed()) {
      throw ToolError(cover.Name() + ": changed while it was read");
    }
    cover.Rewind();
    message = WholeCharactersThatFit(message, checked->gapsAvailable);
  }
  const HideReport report =
      HideInPieces(next, cover.Name(), message, options.settings,
                   [&output](std::string_view bytes) { output.Write(bytes); });
  if (cover.Changed() || (checked && (checked->coverBytes != report.coverBytes ||
                                      checked->gapsAvailable != report.gapsAvailable))) {
    throw ToolError(cover.Name() + ": changed while it was read");
  }
  cover.Close();
  output.Commit();
  if (report.replaced > 0) {
    warn(report.replaced == 1
             ? std::string("1 message character has no Windows-1252 code and was hidden as \"?\"")
             : std::to_string(report.replaced) +
                   " message characters have no Windows-1252 code and were hidden as \"?\"");
  }
  if (message.codes.size() < options.message.codes.size()) {
    warn("the message was cut to " + std::to_string(message.codes.size()) + " of its " +
         Counted(options.message.codes.size(), "character", "characters") +
         ", as many as the cover's " + Counted(report.gapsAvailable, "gap", "gaps") + " hold");
  }
  return report;
}

void RunReveal(const RevealOptions& options) {
  TextReader stego(options.stegoPath);
  AtomicOutput output("-");
  RevealInPieces([&stego] { return stego.Next(); }, stego.Name(), options.encoding, options.bits,
                 [&output](std::string_view bytes) { output.Write(bytes); });
  output.Commit();
}

void RunCapacity(const CapacityOptions& options) {
  TextReader cover(options.coverPath);
  const CoverCapacity capacity =
      MeasureInPieces([&cover] { return cover.Next(); }, cover.Name(), options.encoding);
  Print(Counted(capacity.gaps, "gap", "gaps") + ", " +
        Counted(capacity.characters, "character", "characters") + "\n");
}

} // namespace quillmere::cli
