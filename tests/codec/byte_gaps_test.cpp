// SPDX-License-Identifier: MIT
// The byte-level gap engine against the UTF-16 route it replaces: decode the whole text, make its
// no-break spaces plain, EmbedBitsInPlace, encode; ExtractBits and BitsToMessage up to the first
// U+0000; utfcpp's find_invalid for the first bad byte. Every comparison also feeds the engine in
// pieces, split wherever a piece boundary can fall.
#include "codec/byte_gaps.hpp"
#include "codec/bit_string.hpp"
#include "codec/gap_carriers.hpp"
#include "codec/utf8_bytes.hpp"
#include "codec/windows1252.hpp"

#include <gtest/gtest.h>
#include <utf8.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace quillmere {
namespace {

// The UTF-16 route.
std::u16string Decode(std::string_view bytes, TextEncoding encoding) {
  std::u16string text;
  if (encoding == TextEncoding::Utf8) {
    utf8::utf8to16(bytes.begin(), bytes.end(), std::back_inserter(text));
  } else {
    for (const char byte : bytes) {
      text.push_back(Windows1252Char(static_cast<std::uint8_t>(byte)));
    }
  }
  return text;
}

std::string Encode(std::u16string_view text, TextEncoding encoding) {
  std::string bytes;
  if (encoding == TextEncoding::Utf8) {
    utf8::utf16to8(text.begin(), text.end(), std::back_inserter(bytes));
  } else {
    for (const char16_t ch : text) {
      bytes.push_back(static_cast<char>(Windows1252Code(ch)));
    }
  }
  return bytes;
}

std::string HideTheOldWay(std::string_view cover, TextEncoding encoding,
                          std::u16string_view message) {
  std::u16string text = Decode(cover, encoding);
  std::replace(text.begin(), text.end(), kNoBreakSpace, kSpace);
  EmbedBitsInPlace(text, MessageToBits(message));
  return Encode(text, encoding);
}

std::u16string RevealTheOldWay(std::string_view stego, TextEncoding encoding) {
  const std::u16string message = BitsToMessage(ExtractBits(Decode(stego, encoding)));
  return message.substr(0, message.find(u'\0'));
}

std::u16string CharactersOf(std::string_view codes) {
  std::u16string text;
  for (const char code : codes) {
    text.push_back(Windows1252Char(static_cast<std::uint8_t>(code)));
  }
  return text;
}

// The engine, fed the pieces that end at `ends` (ascending, the last one the text's size).
struct PiecewiseResult {
  std::string hidden;
  std::u16string revealed;
  std::string bits;
  std::uint64_t gaps = 0;
  std::uint64_t invalidOffset = kNoOffset;
};

PiecewiseResult RunInPieces(std::string_view text, TextEncoding encoding, const std::string& codes,
                            const std::vector<std::size_t>& ends) {
  PiecewiseResult result;
  GapHider hider(encoding, codes);
  TextScanner scanner(encoding);
  MessageReader reader(encoding);
  BitReader bitReader(encoding);
  // Room beyond OutputRoom is filled with a mark that Hide must leave alone.
  constexpr std::size_t kGuard = 32;
  std::size_t start = 0;
  for (const std::size_t end : ends) {
    const std::string_view piece = text.substr(start, end - start);
    std::string out(GapHider::OutputRoom(piece.size()) + kGuard, '#');
    const std::string_view hidden = hider.Hide(piece, out.data());
    EXPECT_TRUE(hidden.empty() || hidden.data() == piece.data() || hidden.data() == out.data());
    EXPECT_LE(hidden.size(), GapHider::OutputRoom(piece.size()));
    EXPECT_EQ(out.substr(GapHider::OutputRoom(piece.size())), std::string(kGuard, '#'));
    result.hidden += hidden;
    scanner.Scan(piece);
    reader.Read(piece);
    bitReader.Read(piece, result.bits);
    start = end;
  }
  result.hidden += hider.Finish();
  reader.Finish();
  scanner.Finish();
  result.revealed = CharactersOf(reader.Codes());
  result.gaps = scanner.Gaps();
  result.invalidOffset = scanner.InvalidOffset();
  return result;
}

// Checks every result of the engine on `text` in the given pieces against the UTF-16 route.
void ExpectSameAsUtf16(std::string_view text, TextEncoding encoding, std::u16string_view message,
                       const std::vector<std::size_t>& ends) {
  std::string codes;
  const std::u16string repertoire = ToWindows1252Repertoire(message);
  for (const char16_t ch : repertoire) {
    codes.push_back(static_cast<char>(Windows1252Code(ch)));
  }
  const PiecewiseResult got = RunInPieces(text, encoding, codes, ends);
  const std::u16string decoded = Decode(text, encoding);
  ASSERT_EQ(got.hidden, HideTheOldWay(text, encoding, message));
  EXPECT_EQ(got.revealed, RevealTheOldWay(text, encoding));
  EXPECT_EQ(got.bits, Encode(ExtractBits(decoded), TextEncoding::Utf8));
  EXPECT_EQ(got.gaps, ExtractBits(decoded).size());
  if (encoding == TextEncoding::Utf8) {
    EXPECT_EQ(got.invalidOffset, kNoOffset);
  }
}

std::vector<std::size_t> Whole(std::size_t size) {
  return {size};
}

std::vector<std::size_t> EveryN(std::size_t size, std::size_t n) {
  std::vector<std::size_t> ends;
  for (std::size_t end = n; end < size; end += n) {
    ends.push_back(end);
  }
  ends.push_back(size);
  return ends;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string Utf8Prose() {
  std::string prose;
  const std::filesystem::path fortunes = "/usr/share/games/fortunes/de";
  std::error_code error;
  if (std::filesystem::is_directory(fortunes, error)) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(fortunes, error)) {
      if (entry.path().extension() == ".u8") {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      prose += ReadFile(file);
    }
  }
  if (prose.empty()) {
    prose = ReadFile(QUILLMERE_PROSE_SAMPLE);
  }
  return prose;
}

constexpr std::u16string_view kMessage =
    u"Treffpunkt: Brücke über die Spree, 18 Uhr – bring 20 € mit! \U0001F600 Grüße";

TEST(ByteGaps, GermanProseComesOutAsFromTheUtf16Route) {
  const std::string utf8 = Utf8Prose();
  ASSERT_GT(utf8.size(), 1000U);
  ASSERT_EQ(FindInvalidUtf8(utf8), kNoOffset);
  const std::string windows1252 =
      Encode(ToWindows1252Repertoire(Decode(utf8, TextEncoding::Utf8)), TextEncoding::Windows1252);
  for (const auto& [text, encoding] :
       {std::pair{utf8, TextEncoding::Utf8}, std::pair{windows1252, TextEncoding::Windows1252}}) {
    // The message alone, one that fills far more gaps than the cover has, and hiding again in a
    // text that already hides something.
    const std::u16string flood(text.size() / 40, u'\u00FF');
    for (const std::u16string_view message : {kMessage, std::u16string_view(flood)}) {
      ExpectSameAsUtf16(text, encoding, message, Whole(text.size()));
      ExpectSameAsUtf16(text, encoding, message, EveryN(text.size(), 65536));
      ExpectSameAsUtf16(text, encoding, message, EveryN(text.size(), 4093));
    }
    const std::string stego = HideTheOldWay(text, encoding, kMessage);
    ExpectSameAsUtf16(stego, encoding, u"zweite Nachricht", EveryN(stego.size(), 1021));
  }
}

// Random texts rich in the bytes that matter: gaps, line ends, tabs, stray no-break spaces, and
// characters that contain C2 or end in A0 without being a gap.
std::string RandomUtf8(std::mt19937& random, std::size_t pieces) {
  static const std::vector<std::string> kPieces = {" ",
                                                   " ",
                                                   " ",
                                                   "\xC2\xA0",
                                                   "\xC2\xA0",
                                                   "\r\n",
                                                   "\n",
                                                   "\t",
                                                   "Wort",
                                                   "a",
                                                   "\xC3\xA4",
                                                   "\xC3\x9F",
                                                   "\xC3\xA0",     // ä ß à
                                                   "\xE2\x80\xA0", // †
                                                   "\xE2\x82\xAC", // €
                                                   "\xC2\xA2",
                                                   "\xC3\x82", // ¢ Â
                                                   "\xF0\x9F\x98\x80",
                                                   std::string(1, '\0')};
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) {
    text += kPieces[random() % kPieces.size()];
  }
  return text;
}

std::string RandomWindows1252(std::mt19937& random, std::size_t size) {
  static constexpr std::string_view kBytes = "  \xA0\xA0\r\n\t\xC2\x80\x81\xE4xyz";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text.push_back(random() % 4 == 0 ? static_cast<char>(random() % 256)
                                     : kBytes[random() % kBytes.size()]);
  }
  return text;
}

TEST(ByteGaps, RandomTextsSplitAtEveryBoundaryComeOutAsFromTheUtf16Route) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 60; ++round) {
    const std::string utf8 = RandomUtf8(random, 20 + random() % 100);
    const std::string windows1252 = RandomWindows1252(random, 20 + random() % 200);
    const std::u16string message = round % 3 == 0 ? u"" : round % 3 == 1 ? u"Ja" : u"\u00FF\u00FF";
    for (const auto& [text, encoding] :
         {std::pair{utf8, TextEncoding::Utf8}, std::pair{windows1252, TextEncoding::Windows1252}}) {
      ExpectSameAsUtf16(text, encoding, message, Whole(text.size()));
      ExpectSameAsUtf16(text, encoding, message, EveryN(text.size(), 1));
      for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        ExpectSameAsUtf16(text, encoding, message, {cut, text.size()});
        ExpectSameAsUtf16(text, encoding, message, {cut / 2, cut, cut, text.size()});
      }
    }
  }
}

TEST(ByteGaps, EverySpaceGrowingToTwoBytesFitsTheOutputRoom) {
  const std::string spaces(1000, ' ');
  const std::string codes(200, '\xFF');
  for (const std::size_t pieceLength : {std::size_t{1}, std::size_t{63}, std::size_t{1000}}) {
    const PiecewiseResult got =
        RunInPieces(spaces, TextEncoding::Utf8, codes, EveryN(spaces.size(), pieceLength));
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
      expected += "\xC2\xA0";
    }
    EXPECT_EQ(got.hidden, expected);
  }
}

// Invalid UTF-8, reported at the same byte as utfcpp's find_invalid reports it on the whole text.
TEST(TextScanner, FirstBadByteIsFoundWhereverThePiecesEnd) {
  const std::string_view bad[] = {"\x80",
                                  "\xBF",
                                  "\xC0\x80",
                                  "\xC1\xBF",
                                  "\xC3",
                                  "\xC3\x41",
                                  "\xE0\x80\x80",
                                  "\xE0\x9F\xBF",
                                  "\xE2\x82",
                                  "\xED\xA0\x80",
                                  "\xED\xBF\xBF",
                                  "\xEF\xBF",
                                  "\xF0\x80\x80\x80",
                                  "\xF0\x8F\xBF",
                                  "\xF4\x90\x80\x80",
                                  "\xF5\x80",
                                  "\xF8",
                                  "\xFF",
                                  "\xF0\x9F\x98"};
  const std::string filler =
      "Gr\xC3\xBC\xC3\x9F"
      "e aus K\xC3\xB6ln \xE2\x82\xAC \xF0\x9F\x98\x80 ";
  for (const std::string_view sequence : bad) {
    for (const std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{62}, std::size_t{63},
                                 std::size_t{64}, std::size_t{65}, std::size_t{127}}) {
      for (const bool atEnd : {false, true}) {
        std::string text;
        while (text.size() < at) {
          text += filler;
        }
        text.resize(at);
        // A character cut in two by the resize is made ASCII, so that the case's own bytes are
        // the first bad ones.
        std::fill(utf8::find_invalid(text.begin(), text.end()), text.end(), 'x');
        text += sequence;
        if (!atEnd) {
          text += "tail \xC3\xA4";
        }
        const auto expected =
            static_cast<std::uint64_t>(utf8::find_invalid(text.begin(), text.end()) - text.begin());
        ASSERT_LT(expected, text.size()) << "the case should be invalid";
        EXPECT_EQ(FindInvalidUtf8(text), expected);
        EXPECT_EQ(MessageCodesFromUtf8(text).invalidOffset, expected);
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
          EXPECT_EQ(RunInPieces(text, TextEncoding::Utf8, "", {cut, text.size()}).invalidOffset,
                    expected);
        }
        EXPECT_EQ(RunInPieces(text, TextEncoding::Utf8, "", EveryN(text.size(), 1)).invalidOffset,
                  expected);
      }
    }
  }
}

TEST(TextScanner, BadByteRightAfterA64KiBPieceIsReportedThere) {
  // A stray continuation byte at 65536 after a two-byte character that ends the first 64 KiB.
  std::string text(65534, 'a');
  text += "\xC3\xA4\x80 rest";
  EXPECT_EQ(RunInPieces(text, TextEncoding::Utf8, "", EveryN(text.size(), 65536)).invalidOffset,
            65536U);
  text[65536] = 'b';
  text[65532] = '\xE2'; // a three-byte start cut short by ASCII two bytes before the boundary
  EXPECT_EQ(RunInPieces(text, TextEncoding::Utf8, "", EveryN(text.size(), 65536)).invalidOffset,
            65532U);
}

TEST(MessageCodes, EachCharacterBecomesItsWindows1252CodeOrAQuestionMark) {
  struct Case {
    std::string_view utf8;
    std::string_view codes;
    std::size_t replaced;
  };
  const Case cases[] = {
      {"abc", "abc", 0},
      {"", "", 0},
      {"\xC3\xA4\xE2\x82\xAC", "\xE4\x80", 0},    // ä €
      {"\xF0\x9F\x98\x80!", "?!", 1},             // one ? for a character above U+FFFF
      {"\xC2\x80\xC2\x81", "?\x81", 1},           // U+0080 has no code, U+0081 keeps its own
      {"?\xE2\x80\xA0\xE4\xB8\xAD", "?\x86?", 1}, // † and a character outside the code page
      {std::string_view("a\0b", 3), std::string_view("a\0b", 3), 0},
  };
  for (const Case& c : cases) {
    const MessageCodes message = MessageCodesFromUtf8(c.utf8);
    EXPECT_EQ(message.codes, c.codes);
    EXPECT_EQ(message.replaced, c.replaced);
    EXPECT_EQ(message.invalidOffset, kNoOffset);
    const std::u16string utf16 = Decode(c.utf8, TextEncoding::Utf8);
    EXPECT_EQ(CharactersOf(message.codes), BitsToMessage(MessageToBits(utf16)));
    EXPECT_EQ(message.replaced, CountUnencodable(utf16));
  }
}

TEST(MessageCodes, EveryCodeIsWrittenAsTheUtf8OfItsCharacter) {
  std::string codes;
  for (int code = 0; code < 256; ++code) {
    codes.push_back(static_cast<char>(code));
  }
  std::string utf8 = "x";
  AppendCodesAsUtf8(codes, utf8);
  EXPECT_EQ(utf8, "x" + Encode(CharactersOf(codes), TextEncoding::Utf8));
}

TEST(MessageReader, ALastShortGroupGivesOneMoreCharacterAndAZeroGroupEndsTheMessage) {
  struct Case {
    std::string_view stego;
    std::string_view codes;
  };
  const Case cases[] = {
      {"a\xC2\xA0 b  ", "\x80"},                       // 1000 filled up: the euro sign
      {"        \xC2\xA0", ""},                        // eight 0 bits end it before the 1
      {" \xC2\xA0 \xC2\xA0 \xC2\xA0 \xC2\xA0  ", "U"}, // 01010101, then 00 ends it
      {"", ""},
  };
  for (const Case& c : cases) {
    MessageReader reader(TextEncoding::Utf8);
    reader.Read(c.stego);
    reader.Finish();
    EXPECT_EQ(reader.Codes(), c.codes) << c.stego;
  }
}

} // namespace
} // namespace quillmere
