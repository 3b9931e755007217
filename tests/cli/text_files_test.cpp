// SPDX-License-Identifier: MIT
#include "cli/text_files.hpp"
#include "cli/commands.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace quillmere::cli {
namespace {

TEST(DecodeText, BytesComeBackExactly) {
  const std::string all = [] {
    std::string bytes;
    for (int code = 0; code < 256; ++code) {
      bytes.push_back(static_cast<char>(code));
    }
    return bytes;
  }();
  struct Case {
    const char* name;
    std::string bytes;
    Encoding encoding;
  };
  const Case cases[] = {
      {"CR LF, tab, no final line end", "Zeile eins\r\n\tZeile zwei", Encoding::Utf8},
      {"byte order mark and umlauts", "\xEF\xBB\xBF\xC3\xA4rger \xC3\x9F", Encoding::Utf8},
      {"four-byte character",
       "Gr\xC3\xBC\xC3\x9F"
       "e \xF0\x9F\x98\x80!",
       Encoding::Utf8},
      {"no-break spaces",
       "a\xC2\xA0"
       "b c",
       Encoding::Utf8},
      {"every Windows-1252 byte", all, Encoding::Windows1252},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeText(DecodeText(c.bytes, c.encoding, "x"), c.encoding), c.bytes) << c.name;
  }
}

TEST(DecodeText, InvalidUtf8NamesTheOffsetOfTheFirstBadByte) {
  struct Case {
    std::string bytes;
    const char* offset;
  };
  const Case cases[] = {
      {"abc\xC3", "offset 3"},                            // cut off at the end
      {"ab\xC0\xAF", "offset 2"},                         // overlong form of "/"
      {"\xC3\xA4\xED\xA0\x80", "offset 2"},               // surrogate
      {"\xC3\xA4 \x80 ok", "offset 3"},                   // stray continuation byte
      {std::string(70000, 'a') + "\xFF", "offset 70000"}, // beyond the first piece
      // Near the border of the first piece: a cut inside a bad sequence must not move the blame
      // onto the character before it.
      {std::string(kPieceLength - 4, 'a') + "\xC3\x80\x80\x80\x80", "offset 65534"},
      {std::string(kPieceLength - 4, 'a') + "\xE2\x80\x80\x80\x80", "offset 65535"},
      {std::string(kPieceLength - 4, 'a') + "\xF0\xA0\x80\x80\x80", "offset 65536"},
      {std::string(kPieceLength - 1, 'a') + "\xF0\x9F\x98 ", "offset 65535"},
  };
  for (const Case& c : cases) {
    try {
      DecodeText(c.bytes, Encoding::Utf8, "cover.txt");
      ADD_FAILURE() << "accepted " << c.offset;
    } catch (const ToolError& error) {
      EXPECT_NE(std::string(error.what())
                    .find(std::string("cover.txt: not valid UTF-8 at byte ") + c.offset),
                std::string::npos)
          << error.what();
    }
  }
}

TEST(InputBytes, AFileShortenedAfterReadingDisturbsNothing) {
  // A file mapped into memory instead of read would make the lost pages a fatal bus error.
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "quillmere_text_files_test_shrinking.txt";
  const std::string content(std::size_t{1} << 20, 'x');
  std::ofstream(path, std::ios::binary)
      .write(content.data(), static_cast<std::streamsize>(content.size()));
  const InputBytes input(path.string());
  std::filesystem::resize_file(path, 0);
  EXPECT_EQ(input.View(), content);
  std::filesystem::remove(path);
}

TEST(DecodeInPieces, CharactersAcrossPieceBordersStayWhole) {
  // A four-byte character just before the piece size, so the first piece must end before it.
  const std::string bytes =
      std::string(kPieceLength - 2, 'a') + "\xF0\x9F\x98\x80" + std::string(kPieceLength, 'b');
  std::size_t pieces = 0;
  std::u16string text;
  DecodeInPieces(bytes, Encoding::Utf8, "x", [&](std::span<char16_t> piece) {
    ++pieces;
    text.append(piece.begin(), piece.end());
  });
  EXPECT_EQ(pieces, 3U);
  EXPECT_EQ(text.substr(kPieceLength - 2, 2), u"\U0001F600");
  EXPECT_EQ(EncodeText(text, Encoding::Utf8), bytes);
}

TEST(EncodeText, Windows1252ReplacesCharactersOutsideTheCodePage) {
  EXPECT_EQ(EncodeText(u"\u20AC \u00A0\u0100", Encoding::Windows1252), "\x80 \xA0?");
}

TEST(EncodeText, UnpairedSurrogateIsAnErrorInUtf8) {
  EXPECT_THROW(EncodeText(u"a\xD800", Encoding::Utf8), ToolError);
}

constexpr std::u16string_view kCover =
    u"Der Hund bellt, die Katze\u00A0schl\u00E4ft und der kleine Vogel singt.";

TEST(HideInPlace, StrayNoBreakSpacesDoNotJoinTheMessage) {
  std::u16string cover(kCover);
  const HideReport report = HideInPlace(cover, u"A", false);
  EXPECT_EQ(report.gapsAvailable, 10U);
  EXPECT_EQ(RevealMessage(cover), u"A");
}

TEST(HideInPlace, TooLongMessageNamesNeededAndAvailableGapsAndLeavesTheCover) {
  std::u16string cover(kCover);
  try {
    HideInPlace(cover, u"AB", false);
    ADD_FAILURE() << "accepted";
  } catch (const ToolError& error) {
    EXPECT_NE(std::string(error.what()).find("needs 16 gaps, but the cover has only 10"),
              std::string::npos);
  }
  EXPECT_EQ(cover, kCover);
}

TEST(HideInPlace, CapacityBoundaryIsExactWithAndWithoutNoBreakSpacesInTheCover) {
  // "AC" needs 16 gaps; cut to 15, "C" (0x43) loses its last bit and reads as "B".
  const auto cover = [](std::size_t gaps, bool noBreak) {
    std::u16string text = u"x";
    for (std::size_t gap = 0; gap < gaps; ++gap) {
      text += noBreak && gap % 2 == 0 ? u"\u00A0x" : u" x";
    }
    return text;
  };
  for (const bool noBreak : {false, true}) {
    std::u16string fits = cover(16, noBreak);
    EXPECT_EQ(HideInPlace(fits, u"AC", false).gapsAvailable, 16U);
    EXPECT_EQ(RevealMessage(fits), u"AC") << noBreak;

    std::u16string tooShort = cover(15, noBreak);
    EXPECT_THROW(HideInPlace(tooShort, u"AC", false), ToolError) << noBreak;
    EXPECT_EQ(tooShort, cover(15, noBreak));
    HideInPlace(tooShort, u"AC", true);
    EXPECT_EQ(RevealMessage(tooShort), u"AB") << noBreak;
  }
}

TEST(HideInPlace, TruncateKeepsWhatFits) {
  std::u16string cover(kCover);
  HideInPlace(cover, u"AB", true);
  EXPECT_EQ(RevealMessage(cover), u"A@"); // "B" is 01000010: its first two bits remain
}

TEST(HideInPlace, CharactersWithoutWindows1252CodeAreCountedAndHiddenAsQuestionMarks) {
  std::u16string cover(kCover);
  cover.append(kCover).append(kCover);
  const HideReport report = HideInPlace(cover, u"\U0001F600\u0100", false);
  EXPECT_EQ(report.replaced, 2U);
  EXPECT_EQ(RevealMessage(cover), u"??");
}

TEST(MeasureCapacity, CountsBothKindsOfSpaceAndWholeCharacters) {
  EXPECT_EQ(MeasureCapacity(kCover).gaps, 10U);
  EXPECT_EQ(MeasureCapacity(kCover).characters, 1U);
  EXPECT_EQ(MeasureCapacity(u"").gaps, 0U);
}

} // namespace
} // namespace quillmere::cli
