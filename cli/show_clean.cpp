// SPDX-License-Identifier: MIT
#include "show_clean.hpp"

#include "terminal.hpp"

#include "codec/utf8_bytes.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

namespace quillmere::cli {
namespace {

constexpr unsigned char kNoBreakByte = 0xA0; // Windows-1252's no-break space; UTF-8's ends in it
constexpr unsigned char kNoBreakLead = 0xC2; // the first byte of UTF-8's no-break space
constexpr std::size_t kShownCharacters = 60; // of the message, in show's last line
constexpr char kEllipsisCode = '\x85';       // "…" in Windows-1252

// Returns the length of the UTF-8 character that the lead byte `lead` starts, in a valid text.
std::size_t Utf8Length(unsigned char lead) noexcept {
  return lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// Draws the no-break spaces of a text fed in consecutive pieces, each valid so far, and copies
// every other byte. A UTF-8 character that a piece cuts short is held back until the piece that
// completes it, so that what has been drawn always ends between characters.
class GapDrawer {
public:
  GapDrawer(TextEncoding encoding, GapView view) noexcept : utf8_(encoding == TextEncoding::Utf8) {
    if (view == GapView::Colour) {
      oneGap_ = kColouredGap;
    } else {
      oneGap_ = utf8_ ? std::string_view("\xC2\xB7") : std::string_view("\xB7");
    }
  }

  // Appends `piece` drawn to `out`.
  void Draw(std::string_view piece, std::string& out) {
    if (heldCount_ > 0) {
      const std::size_t take = std::min(heldNeeds_ - heldCount_, piece.size());
      std::memcpy(held_ + heldCount_, piece.data(), take);
      heldCount_ += take;
      piece.remove_prefix(take);
      if (heldCount_ < heldNeeds_) {
        return;
      }
      DrawWhole({held_, heldCount_}, out);
      heldCount_ = 0;
    }
    const std::size_t cut = utf8_ ? CutShortFrom(piece) : piece.size();
    DrawWhole(piece.substr(0, cut), out);
    heldCount_ = piece.size() - cut;
    if (heldCount_ > 0) {
      std::memcpy(held_, piece.data() + cut, heldCount_);
      heldNeeds_ = Utf8Length(static_cast<unsigned char>(held_[0]));
    }
  }

private:
  // Returns where the character that the end of the valid `piece` cuts short begins: its lead
  // byte is one of the last three. Returns the size of the piece when it ends whole.
  static std::size_t CutShortFrom(std::string_view piece) noexcept {
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, piece.size()); ++back) {
      const auto byte = static_cast<unsigned char>(piece[piece.size() - back]);
      if (byte < 0x80) {
        break;
      }
      if (byte >= 0xC0) {
        return Utf8Length(byte) > back ? piece.size() - back : piece.size();
      }
    }
    return piece.size();
  }

  // Appends `bytes`, whole characters only, to `out` with each no-break space drawn as oneGap_.
  void DrawWhole(std::string_view bytes, std::string& out) const {
    std::size_t from = 0; // the first byte not yet copied
    for (std::size_t search = 0; search < bytes.size();) {
      const void* found = std::memchr(bytes.data() + search, kNoBreakByte, bytes.size() - search);
      if (found == nullptr) {
        break;
      }
      const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
      search = at + 1;
      if (utf8_ && (at == 0 || static_cast<unsigned char>(bytes[at - 1]) != kNoBreakLead)) {
        continue; // the last byte of another character, such as "à" (C3 A0)
      }
      const std::size_t gap = utf8_ ? at - 1 : at;
      out.append(bytes.data() + from, gap - from);
      out.append(oneGap_);
      from = at + 1;
    }
    out.append(bytes.data() + from, bytes.size() - from);
  }

  bool utf8_;
  std::string_view oneGap_;
  char held_[4] = {};
  std::size_t heldCount_ = 0;
  std::size_t heldNeeds_ = 0;
};

// Returns the Windows-1252 codes of the message for one line: control characters, the quote and
// the backslash as escapes, the five codes Windows-1252 leaves unassigned (C1 controls) too.
std::string EscapedCodes(std::string_view codes) {
  std::string shown;
  for (const char code : codes) {
    const auto byte = static_cast<unsigned char>(code);
    if (code == '"' || code == '\\') {
      shown += '\\';
      shown += code;
    } else if (code == '\n') {
      shown += "\\n";
    } else if (code == '\r') {
      shown += "\\r";
    } else if (code == '\t') {
      shown += "\\t";
    } else if (byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
               byte == 0x90 || byte == 0x9D) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      shown += escape;
    } else {
      shown += code;
    }
  }
  return shown;
}

std::string Counted(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

} // namespace

std::optional<ColourWhen> ColourWhenNamed(std::string_view name) {
  if (name == "auto" || name == "tty" || name == "if-tty") {
    return ColourWhen::Auto;
  }
  if (name == "always" || name == "yes" || name == "force") {
    return ColourWhen::Always;
  }
  if (name == "never" || name == "no" || name == "none") {
    return ColourWhen::Never;
  }
  return std::nullopt;
}

GapView ChooseGapView(bool marks, ColourWhen when, bool terminal, const char* noColor) {
  const bool colour = when == ColourWhen::Always || (when == ColourWhen::Auto && terminal &&
                                                     (noColor == nullptr || *noColor == '\0'));
  return colour && !marks ? GapView::Colour : GapView::Marks;
}

ShowReport ShowInPieces(const PieceSource& text, std::string_view name, TextEncoding encoding,
                        GapView view, const ByteSink& write) {
  TextScanner scanner(encoding);
  MessageReader message(encoding);
  GapDrawer drawer(encoding, view);
  std::string drawn;
  const auto emit = [&write, &drawn] {
    if (!drawn.empty()) {
      write(drawn);
    }
  };
  std::uint64_t offset = 0; // of the piece in the text
  for (std::span<char> piece = text(); !piece.empty(); piece = text()) {
    const std::string_view bytes(piece.data(), piece.size());
    drawn.clear();
    if (!scanner.Scan(bytes)) {
      // What comes before the first bad byte is shown; a character it began in an earlier piece
      // is still held back by the drawer, and dropped.
      const std::uint64_t bad = scanner.InvalidOffset();
      if (bad > offset) {
        drawer.Draw(bytes.substr(0, static_cast<std::size_t>(bad - offset)), drawn);
      }
      emit();
      ThrowInvalidUtf8(name, bad);
    }
    message.Read(bytes);
    drawer.Draw(bytes, drawn);
    emit();
    offset += bytes.size();
  }
  FinishOrThrow(scanner, name);
  message.Finish();
  return {scanner.Gaps(), scanner.NoBreakSpaces(), message.Codes()};
}

std::string ShowSummary(const ShowReport& report, TextEncoding encoding) {
  std::string line = Counted(report.gaps, "gap", "gaps") + ", " +
                     Counted(report.ones, "holds a 1", "hold a 1") + ": ";
  if (report.message.empty()) {
    line += "no hidden message";
    if (report.ones > 0) {
      line += " (its first eight gaps are ordinary spaces)";
    }
    return line;
  }
  const std::string_view message = report.message;
  std::string codes = "\"" + EscapedCodes(message.substr(0, kShownCharacters)) + "\"";
  if (message.size() > kShownCharacters) {
    codes += kEllipsisCode;
  }
  if (encoding == TextEncoding::Windows1252) {
    return line + codes;
  }
  AppendCodesAsUtf8(codes, line);
  return line;
}

void RunShow(const ShowOptions& options, const NoteSink& note) {
  TextReader text(options.path);
  GapView view = ChooseGapView(options.marks, options.colour, StandardOutputIsTerminal(),
                               std::getenv("NO_COLOR"));
  if (view == GapView::Colour && !StandardOutputDrawsColour()) {
    view = GapView::Marks;
  }
  AtomicOutput output("-");
  const ShowReport report =
      ShowInPieces([&text] { return text.Next(); }, text.Name(), options.encoding, view,
                   [&output](std::string_view bytes) { output.Write(bytes); });
  output.Commit();
  std::string summary = ShowSummary(report, options.encoding);
  if (report.message.empty()) {
    throw NoHiddenMessage(summary);
  }
  note(summary);
}

HideOptions CleanAsHide(const CleanOptions& options) {
  HideOptions hide;
  hide.coverPath = options.inputPath;
  hide.outputPath = options.outputPath;
  hide.settings.encoding = options.encoding;
  hide.settings.force = options.force;
  return hide;
}

std::string CleanSummary(std::uint64_t changed) {
  return changed == 1 ? std::string("1 no-break space made an ordinary space")
                      : std::to_string(changed) + " no-break spaces made ordinary spaces";
}

void RunClean(const CleanOptions& options, const NoteSink& note) {
  // An empty message has nothing to replace or cut, so hide has nothing to warn of.
  const HideReport report = RunHide(CleanAsHide(options), [](std::string_view) {});
  note(CleanSummary(report.noBreakSpaces));
}

} // namespace quillmere::cli
