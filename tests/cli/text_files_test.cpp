// SPDX-License-Identifier: MIT
#include "cli/text_files.hpp"
#include "cli/commands.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace quillmere::cli {
namespace {

namespace fs = std::filesystem;

// Hands out a copy of `text` in pieces of `pieceBytes`.
PieceSource PiecesOf(std::string text, std::size_t pieceBytes = kPieceBytes) {
  auto rest = std::make_shared<std::string>(std::move(text));
  auto piece = std::make_shared<std::string>();
  return [rest, piece, pieceBytes] {
    *piece = rest->substr(0, pieceBytes);
    rest->erase(0, piece->size());
    return std::span<char>(piece->data(), piece->size());
  };
}

struct Hidden {
  std::string text;
  HideReport report;
};

Hidden Hide(const std::string& cover, std::string_view message, bool truncate = false,
            std::size_t pieceBytes = kPieceBytes) {
  Hidden hidden;
  hidden.report = HideInPieces(PiecesOf(cover, pieceBytes), "cover.txt",
                               MessageFromArgument(message), {.truncate = truncate},
                               [&hidden](std::string_view bytes) { hidden.text += bytes; });
  return hidden;
}

std::string Reveal(const std::string& stego) {
  return RevealInPieces(PiecesOf(stego), "stego.txt", TextEncoding::Utf8, false);
}

// A file in the temporary folder, removed at the end of the test.
class ScratchFile {
public:
  explicit ScratchFile(const std::string& content)
      : path_(fs::temp_directory_path() /
              ("quillmere_text_files_test_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))) {
    std::ofstream(path_, std::ios::binary)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
  }
  ~ScratchFile() { fs::remove(path_); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  [[nodiscard]] std::string Path() const { return path_.string(); }

private:
  fs::path path_;
};

TEST(HideInPieces, AnEmptyMessageGivesBackEveryByteOfACoverWithoutNoBreakSpaces) {
  std::string all;
  for (int code = 0; code < 256; ++code) {
    all.push_back(static_cast<char>(code == 0xA0 ? 'x' : code));
  }
  struct Case {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
  };
  const Case cases[] = {
      {"CR LF, tab, no final line end", "Zeile eins\r\n\tZeile zwei", TextEncoding::Utf8},
      {"byte order mark and umlauts", "\xEF\xBB\xBF\xC3\xA4rger \xC3\x9F", TextEncoding::Utf8},
      {"four-byte character",
       "Gr\xC3\xBC\xC3\x9F"
       "e \xF0\x9F\x98\x80!",
       TextEncoding::Utf8},
      {"every Windows-1252 byte but A0", all, TextEncoding::Windows1252},
  };
  for (const Case& c : cases) {
    for (const std::size_t pieceBytes : {std::size_t{1}, std::size_t{3}, kPieceBytes}) {
      std::string out;
      HideInPieces(PiecesOf(c.bytes, pieceBytes), "x", {}, {.encoding = c.encoding, .force = true},
                   [&out](std::string_view bytes) { out += bytes; });
      EXPECT_EQ(out, c.bytes) << c.name << ", pieces of " << pieceBytes;
    }
  }
}

TEST(TextReader, InvalidUtf8NamesTheOffsetOfTheFirstBadByteAlsoAcrossPieceBorders) {
  const std::size_t border = kPieceBytes;
  struct Case {
    std::string bytes;
    std::size_t offset;
  };
  const Case cases[] = {
      {"abc\xC3", 3},              // cut off at the end
      {"ab\xC0\xAF", 2},           // overlong form of "/"
      {"\xC3\xA4\xED\xA0\x80", 2}, // surrogate
      {"\xC3\xA4 \x80 ok", 3},     // stray continuation byte
      {std::string(border - 4, 'a') + "\xC3\x80\x80\x80\x80", border - 2},
      {std::string(border - 4, 'a') + "\xE2\x80\x80\x80\x80", border - 1},
      {std::string(border - 4, 'a') + "\xF0\xA0\x80\x80\x80", border},
      {std::string(border - 1, 'a') + "\xF0\x9F\x98 ", border - 1},
      {std::string(border - 2, 'a') + "\xF0\x9F\x98\x80" + std::string(border, 'b') + "\xFF",
       2 * border + 2},
  };
  for (const Case& c : cases) {
    const ScratchFile file(c.bytes);
    TextReader reader(file.Path());
    try {
      MeasureInPieces([&reader] { return reader.Next(); }, reader.Name(), TextEncoding::Utf8);
      ADD_FAILURE() << "accepted " << c.offset;
    } catch (const ToolError& error) {
      EXPECT_EQ(std::string(error.what()),
                file.Path() + ": not valid UTF-8 at byte offset " + std::to_string(c.offset) +
                    " (use --encoding windows-1252 for files in that code page)");
    }
  }
}

TEST(TextReader, AFileShortenedWhileItIsReadJustEndsSooner) {
  // A file mapped into memory instead of read would make the lost pages a fatal bus error.
  const std::string content(4 * kPieceBytes, 'x');
  const ScratchFile file(content);
  TextReader reader(file.Path());
  ASSERT_EQ(reader.Next().size(), kPieceBytes);
  fs::resize_file(file.Path(), kPieceBytes + 10);
  EXPECT_EQ(reader.Next().size(), 10U);
  EXPECT_TRUE(reader.Next().empty());
}

TEST(TextReader, RewindReadsARegularFileAgainFromWhereItStarted) {
  std::string content;
  for (std::size_t i = 0; content.size() < 2 * kPieceBytes + 5; ++i) {
    content += std::to_string(i) + ' ';
  }
  const ScratchFile file(content);
  TextReader reader(file.Path());
  reader.KeepForRereading();
  std::string first;
  for (std::span<char> piece; !(piece = reader.Next()).empty();) {
    first.append(piece.data(), piece.size());
    piece[0] = '#'; // the receiver may change a piece; the file stays as it is
  }
  reader.Rewind();
  std::string second;
  for (std::span<char> piece; !(piece = reader.Next()).empty();) {
    second.append(piece.data(), piece.size());
  }
  EXPECT_EQ(first, content);
  EXPECT_EQ(second, content);
}

constexpr std::string_view kCover =
    "Der Hund bellt, die Katze\xC2\xA0schl\xC3\xA4"
    "ft und der kleine Vogel singt.";

TEST(HideInPieces, StrayNoBreakSpacesDoNotJoinTheMessage) {
  const Hidden hidden = Hide(std::string(kCover), "A");
  EXPECT_EQ(hidden.report.gapsAvailable, 10U);
  EXPECT_EQ(Reveal(hidden.text), "A");
}

TEST(HideInPieces, TooLongMessageNamesNeededAndAvailableGaps) {
  try {
    Hide(std::string(kCover), "AB");
    ADD_FAILURE() << "accepted";
  } catch (const ToolError& error) {
    EXPECT_NE(std::string(error.what()).find("needs 16 gaps, but the cover has only 10"),
              std::string::npos);
  }
}

TEST(HideInPieces, CapacityBoundaryIsExactWithAndWithoutNoBreakSpacesInTheCover) {
  // "AC" needs 16 gaps; cut to 15, "C" (0x43) loses its last bit and reads as "B".
  const auto cover = [](std::size_t gaps, bool noBreak) {
    std::string text = "x";
    for (std::size_t gap = 0; gap < gaps; ++gap) {
      text += noBreak && gap % 2 == 0 ? "\xC2\xA0x" : " x";
    }
    return text;
  };
  for (const bool noBreak : {false, true}) {
    for (const std::size_t pieceBytes : {std::size_t{1}, kPieceBytes}) {
      const Hidden fits = Hide(cover(16, noBreak), "AC", false, pieceBytes);
      EXPECT_EQ(fits.report.gapsAvailable, 16U);
      EXPECT_EQ(Reveal(fits.text), "AC") << noBreak;
      EXPECT_THROW(Hide(cover(15, noBreak), "AC", false, pieceBytes), ToolError) << noBreak;
      EXPECT_EQ(Reveal(Hide(cover(15, noBreak), "AC", true, pieceBytes).text), "AB") << noBreak;
    }
  }
}

TEST(HideInPieces, TruncateKeepsWhatFits) {
  // "B" is 01000010: its first two bits remain.
  EXPECT_EQ(Reveal(Hide(std::string(kCover), "AB", true).text), "A@");
}

TEST(HideInPieces, CharactersWithoutWindows1252CodeAreCountedAndHiddenAsQuestionMarks) {
  const std::string cover = std::string(kCover) + std::string(kCover) + std::string(kCover);
  const Hidden hidden = Hide(cover, "\xF0\x9F\x98\x80\xC4\x80"); // U+1F600, U+0100
  EXPECT_EQ(hidden.report.replaced, 2U);
  EXPECT_EQ(Reveal(hidden.text), "??");
}

TEST(MeasureInPieces, CountsBothKindsOfSpaceAndWholeCharacters) {
  const CoverCapacity capacity = MeasureInPieces(PiecesOf(std::string(kCover), 7), "x", {});
  EXPECT_EQ(capacity.gaps, 10U);
  EXPECT_EQ(capacity.characters, 1U);
  EXPECT_EQ(MeasureInPieces(PiecesOf(""), "x", {}).gaps, 0U);
}

} // namespace
} // namespace quillmere::cli
