// SPDX-License-Identifier: MIT
// quillmere-text show and clean: the drawing of gaps on texts in pieces, and both commands run as
// the program.
#include "cli/show_clean.hpp"
#include "quillmere_text_fixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace quillmere::cli {
namespace {

// Line ends, a tab, "à" (C3 A0: not a gap), the euro sign, no-break spaces side by side and one at
// the very end. Six gaps, four of them 1.
const std::string kMixedUtf8 =
    "Ein\xC2\xA0Text\tvoil\xC3\xA0 \xE2\x82\xAC\xC2\xA0\xC2\xA0\r\nZeile 2\xC2\xA0";
const std::string kMixedUtf8Marked =
    "Ein\xC2\xB7Text\tvoil\xC3\xA0 \xE2\x82\xAC\xC2\xB7\xC2\xB7\r\nZeile 2\xC2\xB7";
const std::string kMixedUtf8Coloured =
    "Ein\x1B[43m \x1B[49mText\tvoil\xC3\xA0 \xE2\x82\xAC"
    "\x1B[43m \x1B[49m\x1B[43m \x1B[49m\r\nZeile 2\x1B[43m \x1B[49m";
const std::string kMixedUtf8Cleaned = "Ein Text\tvoil\xC3\xA0 \xE2\x82\xAC  \r\nZeile 2 ";
// The same in Windows-1252, with "à" as E0 and the euro sign as 80.
const std::string kMixed1252 = "Ein\xA0Text\tvoil\xE0 \x80\xA0\xA0\r\nZeile 2\xA0";
const std::string kMixed1252Marked = "Ein\xB7Text\tvoil\xE0 \x80\xB7\xB7\r\nZeile 2\xB7";
const std::string kMixed1252Cleaned = "Ein Text\tvoil\xE0 \x80  \r\nZeile 2 ";

// Hands out a copy of `text` in pieces of `pieceBytes`.
PieceSource PiecesOf(std::string text, std::size_t pieceBytes) {
  auto rest = std::make_shared<std::string>(std::move(text));
  auto piece = std::make_shared<std::string>();
  return [rest, piece, pieceBytes] {
    *piece = rest->substr(0, pieceBytes);
    rest->erase(0, piece->size());
    return std::span<char>(piece->data(), piece->size());
  };
}

struct Shown {
  std::string bytes;
  ShowReport report;
  std::string error;
};

Shown Show(const std::string& text, std::size_t pieceBytes, TextEncoding encoding, GapView view) {
  Shown shown;
  try {
    shown.report = ShowInPieces(PiecesOf(text, pieceBytes), "text.txt", encoding, view,
                                [&shown](std::string_view bytes) {
                                  EXPECT_FALSE(bytes.empty());
                                  shown.bytes += bytes;
                                });
  } catch (const ToolError& error) {
    shown.error = error.what();
  }
  return shown;
}

TEST(ShowInPieces, StopsRightBeforeTheFirstBadByteWhereverItLies) {
  struct Case {
    std::string text;
    std::size_t pieceBytes;
    std::string drawn;
    std::uint64_t offset;
  };
  const Case cases[] = {
      {"a\xC2\xA0"
       "b \xFF c",
       100,
       "a\xC2\xB7"
       "b ",
       5},
      {"a\xC2\xA0"
       "b \xFF c",
       1,
       "a\xC2\xB7"
       "b ",
       5},
      {"ab \xE2\x82x", 4, "ab ", 3}, // a character begun in one piece, broken in the next
      {"ab \xE2\x82", 5, "ab ", 3},  // the text ends inside a character
      {"ab \xC2", 4, "ab ", 3},      // ... that looked like a no-break space
      {"\xC2\xA0\xC3\xA0\xA0", 2, "\xC2\xB7\xC3\xA0", 4},
  };
  for (const Case& c : cases) {
    const Shown shown = Show(c.text, c.pieceBytes, TextEncoding::Utf8, GapView::Marks);
    EXPECT_EQ(shown.bytes, c.drawn) << c.text;
    EXPECT_EQ(shown.error, "text.txt: not valid UTF-8 at byte offset " + std::to_string(c.offset) +
                               " (use --encoding windows-1252 for files in that code page)");
  }
}

TEST(ChooseGapView, ColourOnlyOnATerminalWithoutNoColorOrWhenAskedAndNeverWithMarks) {
  struct Case {
    bool marks;
    const char* when;
    bool terminal;
    const char* noColor;
    GapView view;
  };
  const Case cases[] = {
      {false, "auto", true, nullptr, GapView::Colour},
      {false, "auto", true, "", GapView::Colour}, // an empty NO_COLOR counts as unset
      {false, "auto", true, "1", GapView::Marks},
      {false, "auto", false, nullptr, GapView::Marks},
      {false, "tty", true, nullptr, GapView::Colour},
      {false, "always", false, "1", GapView::Colour},
      {false, "force", false, nullptr, GapView::Colour},
      {false, "never", true, nullptr, GapView::Marks},
      {false, "none", true, nullptr, GapView::Marks},
      {true, "always", true, nullptr, GapView::Marks},
      {true, "auto", true, nullptr, GapView::Marks},
  };
  for (const Case& c : cases) {
    const std::optional<ColourWhen> when = ColourWhenNamed(c.when);
    ASSERT_TRUE(when) << c.when;
    EXPECT_EQ(ChooseGapView(c.marks, *when, c.terminal, c.noColor), c.view)
        << c.marks << " " << c.when << " " << c.terminal << " " << (c.noColor ? c.noColor : "-");
  }
  for (const char* name : {"", "Always", "true", "1", "on"}) {
    EXPECT_FALSE(ColourWhenNamed(name)) << name;
  }
}

// The summary is one line on standard error: a message must not end it, move the cursor or set
// colours, and a long one is cut.
TEST(ShowSummary, KeepsTheMessageOnOneLineAndCutsItAtSixtyCharacters) {
  const std::string sixty(60, 'x');
  struct Case {
    ShowReport report;
    TextEncoding encoding;
    std::string line;
  };
  const Case cases[] = {
      {{1204, 50, "Um acht am Tor"},
       TextEncoding::Utf8,
       "1204 gaps, 50 hold a 1: \"Um acht am Tor\""},
      {{1, 1, "\xE4"}, TextEncoding::Utf8, "1 gap, 1 holds a 1: \"\xC3\xA4\""},
      {{9, 1, "\xE4"}, TextEncoding::Windows1252, "9 gaps, 1 holds a 1: \"\xE4\""},
      {{99, 9, "a\nb\r\t\"\\\x1B[31m\x7F\x9D"},
       TextEncoding::Utf8,
       "99 gaps, 9 hold a 1: \"a\\nb\\r\\t\\\"\\\\\\x1B[31m\\x7F\\x9D\""},
      {{999, 99, sixty}, TextEncoding::Utf8, "999 gaps, 99 hold a 1: \"" + sixty + "\""},
      {{999, 99, sixty + "y"},
       TextEncoding::Utf8,
       "999 gaps, 99 hold a 1: \"" + sixty + "\"\xE2\x80\xA6"},
      {{999, 99, sixty + "y"},
       TextEncoding::Windows1252,
       "999 gaps, 99 hold a 1: \"" + sixty + "\"\x85"},
      {{0, 0, ""}, TextEncoding::Utf8, "0 gaps, 0 hold a 1: no hidden message"},
      {{48, 0, ""}, TextEncoding::Utf8, "48 gaps, 0 hold a 1: no hidden message"},
      {{48, 3, ""},
       TextEncoding::Utf8,
       "48 gaps, 3 hold a 1: no hidden message (its first eight gaps are ordinary spaces)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShowSummary(c.report, c.encoding), c.line);
  }
}

// Returns `text` with every `from` byte made `to`.
std::string Replaced(std::string text, char from, char to) {
  std::replace(text.begin(), text.end(), from, to);
  return text;
}

TEST_F(QuillmereText, ShowMarksAndColoursEveryOneGapAndSaysWhatTheGapsRead) {
  Store(In("utf8.txt"), kMixedUtf8);
  Store(In("1252.txt"), kMixed1252);
  const std::string summaryUtf8 = "quillmere-text: 6 gaps, 4 hold a 1: \"\xC2\xB4\"\n";
  struct Case {
    Arguments arguments;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{"show", "--marks", "utf8.txt"}, kMixedUtf8Marked, summaryUtf8},
      {{"show", "utf8.txt"}, kMixedUtf8Marked, summaryUtf8}, // not a terminal
      {{"show", "--color=never", "utf8.txt"}, kMixedUtf8Marked, summaryUtf8},
      {{"show", "--color=always", "utf8.txt"}, kMixedUtf8Coloured, summaryUtf8},
      {{"show", "--color", "-"}, kMixedUtf8Coloured, summaryUtf8},
      {{"show", "--color=always", "--marks", "utf8.txt"}, kMixedUtf8Marked, summaryUtf8},
      {{"show", "--marks", "--encoding", "windows-1252", "1252.txt"},
       kMixed1252Marked,
       "quillmere-text: 6 gaps, 4 hold a 1: \"\xB4\"\n"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = Run(c.arguments, kMixedUtf8);
    EXPECT_EQ(r.status, 0) << c.arguments[1];
    EXPECT_TRUE(SameBytes(r.out, c.out)) << c.arguments[1];
    EXPECT_EQ(r.err, c.err) << c.arguments[1];
  }
}

TEST_F(QuillmereText, ShowFailsAsRevealDoes) {
  Store(In("bad.txt"), "gut \xC3\xA4\xC2\xA0und dann \xFF schlecht");
  Store(In("plain.txt"),
        "nur drei L\xC3\xBC"
        "cken hier");
  struct Case {
    Arguments arguments;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{"show", "--marks", "bad.txt"},
       1,
       "gut \xC3\xA4\xC2\xB7und dann ",
       "quillmere-text: bad.txt: not valid UTF-8 at byte offset 17 (use --encoding windows-1252 "
       "for files in that code page)\n"},
      {{"show", "plain.txt"},
       3,
       "nur drei L\xC3\xBC"
       "cken hier",
       "quillmere-text: 3 gaps, 0 hold a 1: no hidden message\n"},
      {{"show", "missing.txt"}, 1, "", "quillmere-text: missing.txt: "},
      {{"show", "--color=sometimes", "plain.txt"},
       2,
       "",
       "quillmere-text: unknown --color value 'sometimes' (choose auto, always or never)\n"},
      // As with GNU tools, the value of --color only follows "=".
      {{"show", "--color", "never", "plain.txt"},
       2,
       "",
       "quillmere-text: unexpected argument 'plain.txt'\n"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = Run(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments[1];
    EXPECT_EQ(r.out, c.out) << c.arguments[1];
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.arguments[1];
  }
}

// Returns a UTF-8 cover of over 600 KB: prose with stray no-break spaces, one of them split
// across the first two pieces the tool reads.
std::string LargeMixedCover(const std::string& prose) {
  std::string cover;
  while (cover.size() < kPieceBytes - 1) {
    cover += "Wort ";
  }
  cover.resize(kPieceBytes - 1);
  cover += "\xC2\xA0";
  for (int copy = 0; cover.size() < std::size_t{600} << 10; ++copy) {
    cover += prose + (copy % 3 == 0 ? "\xC2\xA0" : " ");
  }
  return cover;
}

TEST_F(QuillmereText, ShowAndCleanALargeTextPieceByPiece) {
  const std::string cover = LargeMixedCover(ProseCover("prose.txt", "\r\n\t"));
  Store(In("cover.txt"), cover);
  std::string message;
  while (message.size() < 5000) {
    message +=
        "Gr\xC3\xBC\xC3\x9F"
        "e vom Treffpunkt, ";
  }
  Store(In("message.txt"), message);
  ASSERT_EQ(Run({"hide", "--message-file", "message.txt", "cover.txt", "-o", "stego.txt"}).status,
            0);
  const std::string stego = Slurp(In("stego.txt"));
  std::string marked = stego;
  for (std::size_t at = 0; (at = marked.find("\xC2\xA0", at)) != std::string::npos; at += 2) {
    marked[at + 1] = '\xB7';
  }
  const ProgramResult shown = Run({"show", "stego.txt"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_TRUE(SameBytes(shown.out, marked));
  EXPECT_NE(shown.err.find("hold a 1: \"Gr\xC3\xBC\xC3\x9F"
                           "e vom Treffpunkt, Gr"),
            std::string::npos)
      << shown.err;

  const auto noBreakSpaces = [](const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = 0; (at = text.find("\xC2\xA0", at)) != std::string::npos; at += 2) {
      ++count;
    }
    return std::to_string(count);
  };
  const std::string expected = Unhidden(cover);
  const ProgramResult toFile = Run({"clean", "cover.txt", "-o", "clean.txt"});
  const ProgramResult throughStreams = Run({"clean"}, cover);
  const ProgramResult inPlace = Run({"clean", "stego.txt", "-o", "stego.txt"});
  for (const ProgramResult* r : {&toFile, &throughStreams, &inPlace}) {
    EXPECT_EQ(r->status, 0) << r->err;
  }
  EXPECT_TRUE(SameBytes(Slurp(In("clean.txt")), expected));
  EXPECT_TRUE(SameBytes(throughStreams.out, expected));
  EXPECT_TRUE(SameBytes(Slurp(In("stego.txt")), expected));
  EXPECT_EQ(toFile.err,
            "quillmere-text: " + noBreakSpaces(cover) + " no-break spaces made ordinary spaces\n");
  EXPECT_EQ(inPlace.err,
            "quillmere-text: " + noBreakSpaces(stego) + " no-break spaces made ordinary spaces\n");
  EXPECT_EQ(Run({"reveal", "stego.txt"}).status, 3);
}

TEST_F(QuillmereText, CleanMakesEveryNoBreakSpacePlainAndKeepsEveryOtherByte) {
  // Windows-1252 over more than one piece: bytes that are not UTF-8, so none is refused.
  std::string large1252;
  while (large1252.size() < std::size_t{600} << 10) {
    large1252 +=
        "Gr\xFC\xDF"
        "e\xA0"
        "aus K\xF6ln \x80\xA0\r\n";
  }
  Store(In("large1252.txt"), large1252);
  struct Case {
    Arguments arguments;
    std::string input;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{"clean"}, kMixedUtf8, kMixedUtf8Cleaned, "4 no-break spaces made ordinary spaces"},
      {{"clean", "--encoding", "cp1252"},
       kMixed1252,
       kMixed1252Cleaned,
       "4 no-break spaces made ordinary spaces"},
      {{"clean"}, kMixedUtf8Cleaned, kMixedUtf8Cleaned, "0 no-break spaces made ordinary spaces"},
      {{"clean"}, "a\xC2\xA0", "a ", "1 no-break space made an ordinary space"},
      {{"clean", "--encoding", "windows-1252", "large1252.txt"},
       "",
       Replaced(large1252, '\xA0', ' '),
       std::to_string(std::count(large1252.begin(), large1252.end(), '\xA0')) +
           " no-break spaces made ordinary spaces"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = Run(c.arguments, c.input);
    EXPECT_EQ(r.status, 0) << c.err;
    EXPECT_TRUE(SameBytes(r.out, c.out)) << c.err;
    EXPECT_EQ(r.err, "quillmere-text: " + c.err + "\n");
  }
}

// clean writes through hide's output: a failure leaves the target as it was and nothing beside it.
TEST_F(QuillmereText, ACleanThatFailsLeavesTheTargetAsItWas) {
  Store(In("bad.txt"), kMixedUtf8 + "\xFF");
  Store(In("utf8.txt"), kMixedUtf8);
  Store(In("target.txt"), "alt");
  struct Case {
    Arguments arguments;
    const char* error;
  };
  const Case cases[] = {
      {{"clean", "bad.txt", "-o", "target.txt"}, "bad.txt: not valid UTF-8 at byte offset 35"},
      {{"clean", "--encoding", "windows-1252", "utf8.txt", "-o", "target.txt"},
       "utf8.txt: the cover is UTF-8 with characters beyond ASCII"},
      {{"clean", "missing.txt", "-o", "target.txt"}, "missing.txt: "},
      {{"clean", "bad.txt"}, "bad.txt: not valid UTF-8 at byte offset 35"},
      {{"clean", "utf8.txt", "-o", "missing/target.txt"}, "missing/target.txt: "},
  };
  for (const Case& c : cases) {
    const ProgramResult r = Run(c.arguments);
    EXPECT_EQ(r.status, 1) << c.error;
    EXPECT_EQ(r.err.rfind(std::string("quillmere-text: ") + c.error, 0), 0U) << r.err;
    EXPECT_EQ(r.out, "") << c.error;
    EXPECT_EQ(Slurp(In("target.txt")), "alt") << c.error;
    EXPECT_EQ(Names(), (std::vector<std::string>{"bad.txt", "target.txt", "utf8.txt"})) << c.error;
  }
  const ProgramResult forced =
      Run({"clean", "--encoding", "windows-1252", "--force", "utf8.txt", "-o", "target.txt"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(Slurp(In("target.txt")), Replaced(kMixedUtf8, '\xA0', ' ')); // "à" broken, as asked
}

} // namespace
} // namespace quillmere::cli
