#include "cli/text_files.hpp"
#include "quillmere_text_fixture.hpp"
#include "window/form1_actions.hpp"

#include <gtest/gtest.h>

#include <string>

namespace quillmere::cli {
namespace {

TEST_F(QuillmereText, RoundTripThroughFilesKeepsEveryOtherByte) {
  const std::string cover = ProseCover("cover.txt", "\r\n");
  NEED_PROSE(cover);
  ASSERT_EQ(Run("$Q hide -m 'Treffen um acht, Brücke' cover.txt -o stego.txt").status, 0);
  const std::string stego = Slurp(In("stego.txt"));
  EXPECT_EQ(Unhidden(stego), cover);
  const Result revealed = Run("$Q reveal stego.txt");
  EXPECT_EQ(revealed.status, 0);
  EXPECT_EQ(revealed.out, "Treffen um acht, Brücke");
}

TEST_F(QuillmereText, RoundTripThroughPipes) {
  NEED_PROSE(ProseCover("cover.txt"));
  Store(In("message.txt"), "Zeile 1\nZeile 2\n");
  const Result r = Run("cat cover.txt | $Q hide --message-file message.txt | $Q reveal -");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Zeile 1\nZeile 2\n");
}

TEST_F(QuillmereText, OutputOverTheCoverItselfIsSafe) {
  const std::string cover = ProseCover("cover.txt");
  NEED_PROSE(cover);
  ASSERT_EQ(Run("$Q hide -m Geheim cover.txt -o cover.txt").status, 0);
  EXPECT_EQ(Unhidden(Slurp(In("cover.txt"))), cover);
  EXPECT_EQ(Run("$Q reveal cover.txt").out, "Geheim");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()),
            3) // + .stdout/.stderr
      << "a temporary file was left behind";
}

TEST_F(QuillmereText, StrayNoBreakSpacesInTheCoverAreMadePlainFirst) {
  Store(In("cover.txt"),
        "Ein\xC2\xA0Text mit\xC2\xA0vielen Leerzeichen, die hier stehen und "
        "dort\xC2\xA0"
        "auch, so dass es reicht.\xC2\xA0");
  const Result hidden = Run("$Q hide -m x cover.txt -o stego.txt");
  ASSERT_EQ(hidden.status, 0) << hidden.err;
  EXPECT_EQ(Run("$Q reveal stego.txt").out, "x");
  EXPECT_EQ(Run("$Q reveal --bits stego.txt").out, "011110000000000\n");
}

TEST_F(QuillmereText, FailuresExitWithOneAndWriteNothing) {
  Store(In("short.txt"), "nur drei Lücken hier");
  Store(In("bad.txt"), "gut \xC3\xA4 und dann \xFF schlecht");
  struct Case {
    const char* command;
    const char* message;
  };
  const Case cases[] = {
      {"$Q hide -m zu-lang short.txt -o out.txt", "needs 56 gaps, but the cover has only 3"},
      {"$Q hide -m x bad.txt -o out.txt", "bad.txt: not valid UTF-8 at byte offset 16"},
      {"$Q reveal bad.txt > out.txt", "not valid UTF-8 at byte offset 16"},
      {"$Q hide -m x missing.txt -o out.txt", "missing.txt"},
  };
  for (const Case& c : cases) {
    const Result r = Run(c.command);
    EXPECT_EQ(r.status, 1) << c.command;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.command << ": " << r.err;
    EXPECT_EQ(fs::exists(In("out.txt")) ? fs::file_size(In("out.txt")) : 0U, 0U) << c.command;
    fs::remove(In("out.txt"));
  }
}

TEST_F(QuillmereText, TruncateCutsAndWarns) {
  Store(In("short.txt"), "nur drei Lücken hier");
  const Result r = Run("$Q hide --truncate -m zu-lang short.txt -o out.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("warning: the message was cut"), std::string::npos) << r.err;
}

TEST_F(QuillmereText, CharactersOutsideWindows1252AreReplacedWithAWarning) {
  NEED_PROSE(ProseCover("cover.txt"));
  const Result r = Run("$Q hide -m 'Gruß 😀' cover.txt | $Q reveal");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Gruß ?");
  EXPECT_NE(r.err.find("warning: 1 message character(s) have no Windows-1252 code"),
            std::string::npos)
      << r.err;
}

TEST_F(QuillmereText, Windows1252FilesRoundTrip) {
  const std::string cover =
      "Sch\xF6ne Gr\xFC\xDF"
      "e aus K\xF6ln \x80 \x93zitiert\x94 und so weiter, "
      "bis genug L\xFC"
      "cken da sind, und noch ein paar mehr.\r\n";
  Store(In("cover.txt"), cover);
  Store(In("message.txt"), "\xC4h");
  const Result hidden =
      Run("$Q hide --encoding windows-1252 --message-file message.txt cover.txt -o s.txt");
  ASSERT_EQ(hidden.status, 0) << hidden.err;
  std::string plain = Slurp(In("s.txt"));
  std::replace(plain.begin(), plain.end(), '\xA0', ' ');
  EXPECT_EQ(plain, cover);
  EXPECT_EQ(Run("$Q reveal --encoding windows-1252 s.txt").out, "\xC4h");
  EXPECT_EQ(Run("$Q capacity --encoding windows-1252 cover.txt").out, "18 gaps, 2 characters\n");
}

TEST_F(QuillmereText, CommandLineErrorsUseCli11ExitCodes) {
  EXPECT_EQ(Run("$Q").status, 106);                          // no command
  EXPECT_EQ(Run("$Q hide cover.txt").status, 106);           // no message
  EXPECT_EQ(Run("$Q reveal --encoding latin1").status, 105); // unknown coding
  const Result version = Run("$Q --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "quillmere-text 1.00\n");
}

// Returns a UTF-8 cover with exactly `gaps` gaps; every `noBreakEvery`-th is already a no-break
// space (none when 0).
std::string CoverWithGaps(std::size_t gaps, std::size_t noBreakEvery = 0) {
  std::string cover = "Wort";
  for (std::size_t gap = 1; gap <= gaps; ++gap) {
    cover += noBreakEvery != 0 && gap % noBreakEvery == 0 ? "\xC2\xA0" : " ";
    cover += "Wort";
  }
  return cover;
}

// The exit status says what happened: 0 done, 1 failed and nothing written, 3 nothing found.
class ExitStatus : public QuillmereText {};

TEST_F(ExitStatus, AMessageThatFillsEveryGapIsHiddenWholeOneGapMoreFails) {
  // "AC" needs 16 gaps. Cut to 15, the last bit of "C" (0x43) is dropped, which reads as "B".
  struct Case {
    std::size_t gaps;
    std::size_t noBreakEvery;
    const char* options;
    int status;
    const char* revealed;
  };
  const Case cases[] = {
      {16, 0, "", 0, "AC"},    {16, 3, "", 0, "AC"},           {15, 0, "", 1, nullptr},
      {15, 3, "", 1, nullptr}, {15, 0, "--truncate", 0, "AB"}, {15, 3, "--truncate", 0, "AB"},
  };
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.gaps) + " gaps, no-break every " +
                             std::to_string(c.noBreakEvery) + " " + c.options;
    Store(In("cover.txt"), CoverWithGaps(c.gaps, c.noBreakEvery));
    fs::remove(In("out.txt"));
    const Result hidden = Run(std::string("$Q hide ") + c.options + " -m AC cover.txt -o out.txt");
    EXPECT_EQ(hidden.status, c.status) << name << ": " << hidden.err;
    if (c.revealed == nullptr) {
      EXPECT_NE(hidden.err.find("needs 16 gaps, but the cover has only 15"), std::string::npos)
          << name << ": " << hidden.err;
      EXPECT_FALSE(fs::exists(In("out.txt"))) << name;
    } else {
      EXPECT_EQ(Run("$Q reveal out.txt").out, c.revealed) << name;
    }
  }
}

TEST_F(ExitStatus, RevealWithoutAMessageSaysSoAndExitsThree) {
  Store(In("plain.txt"), CoverWithGaps(48));
  Store(In("nogaps.txt"), "Kein_einziger_Zwischenraum");
  Store(In("long.txt"), CoverWithGaps(20000)); // several pieces

  ASSERT_EQ(Run("$Q hide -m Hallo plain.txt -o stego.txt").status, 0);
  ASSERT_EQ(Run("$Q hide -m '' plain.txt -o empty.txt").status, 0);
  struct Case {
    const char* command;
    int status;
    const char* out;
    const char* err;
  };
  const Case cases[] = {
      {"$Q reveal plain.txt", 3, "", "no hidden message: all 48 gaps are ordinary spaces\n"},
      {"$Q reveal empty.txt", 3, "", "no hidden message: all 48 gaps are ordinary spaces\n"},
      {"$Q reveal nogaps.txt", 3, "", "no hidden message: the text has no gaps\n"},
      {"$Q reveal long.txt", 3, "", "no hidden message: all 20000 gaps are ordinary spaces\n"},
      {"$Q reveal stego.txt", 0, "Hallo", ""},
      {"$Q reveal --bits plain.txt", 0, "000000000000000000000000000000000000000000000000\n", ""},
  };
  for (const Case& c : cases) {
    const Result r = Run(c.command);
    EXPECT_EQ(r.status, c.status) << c.command;
    EXPECT_EQ(r.out, c.out) << c.command;
    EXPECT_EQ(r.err, c.err[0] == '\0' ? "" : std::string("quillmere-text: ") + c.err) << c.command;
  }
}

TEST_F(ExitStatus, MessageWithNulIsRefusedSinceRevealWouldStopThere) {
  Store(In("cover.txt"), CoverWithGaps(100));
  Store(In("nul.txt"), std::string("ab\0cd", 5));
  Store(In("emoji-nul.txt"), std::string("\xF0\x9F\x98\x80\0", 5));
  const Result nul = Run("$Q hide --message-file nul.txt cover.txt -o out.txt");
  EXPECT_EQ(nul.status, 1);
  EXPECT_EQ(nul.err,
            "quillmere-text: the message holds U+0000 at character 3; nothing after it could be "
            "revealed\n");
  const Result emoji = Run("$Q hide --message-file emoji-nul.txt cover.txt -o out.txt");
  EXPECT_EQ(emoji.status, 1);
  EXPECT_NE(emoji.err.find("U+0000 at character 2;"), std::string::npos) << emoji.err;
  EXPECT_FALSE(fs::exists(In("out.txt")));
}

TEST_F(ExitStatus, Windows1252OnAUtf8CoverIsRefusedUnlessForced) {
  // "à" is C3 A0 in UTF-8: read as Windows-1252 its A0 is a gap, and hiding would break it.
  const std::string utf8 = CoverWithGaps(20) + " voil\xC3\xA0 \xE2\x80\xA0";
  Store(In("utf8.txt"), utf8);
  Store(In("ascii.txt"), CoverWithGaps(20));
  const Result refused = Run("$Q hide --encoding windows-1252 -m a utf8.txt -o out.txt");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("utf8.txt: the cover is UTF-8"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(In("out.txt")));
  EXPECT_EQ(Run("$Q hide --encoding windows-1252 --force -m a utf8.txt -o out.txt").status, 0);
  EXPECT_EQ(Run("$Q hide --encoding windows-1252 -m a ascii.txt -o out.txt").status, 0);
}

TEST_F(ExitStatus, EncodingHintOnlyForFilesNeverForTheMessageArgument) {
  Store(In("cover.txt"), CoverWithGaps(20));
  Store(In("bad.txt"), "gut \xFF");
  const Result argument = Run("$Q hide -m $(printf 'a\\377') cover.txt -o out.txt");
  EXPECT_EQ(argument.status, 1);
  EXPECT_EQ(argument.err, "quillmere-text: the message: not valid UTF-8 at byte offset 1\n");
  const Result file = Run("$Q hide --message-file bad.txt cover.txt -o out.txt");
  EXPECT_EQ(file.status, 1);
  EXPECT_NE(file.err.find("bad.txt: not valid UTF-8 at byte offset 4 (use --encoding"),
            std::string::npos)
      << file.err;
}

#ifndef _WIN32
TEST_F(ExitStatus, OutputThatCannotBeWrittenIsAnErrorEvenForVersionAndHelp) {
  Store(In("cover.txt"), CoverWithGaps(20));
  ASSERT_EQ(Run("$Q hide -m x cover.txt -o stego.txt").status, 0);
  for (const char* command : {"$Q --version >/dev/full", "$Q --help >/dev/full", "$Q --version >&-",
                              "$Q reveal stego.txt >/dev/full", "$Q capacity cover.txt >&-",
                              "$Q hide -m x cover.txt >/dev/full"}) {
    const Result r = Run(command);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.err.find("standard output: write error"), std::string::npos)
        << command << ": " << r.err;
  }
}
#endif

TEST_F(QuillmereText, TheWindowReadsWhatTheToolHid) {
  const std::string cover = ProseCover("cover.txt", "\r\n");
  NEED_PROSE(cover);
  ASSERT_EQ(Run("$Q hide -m 'Um acht am Tor' cover.txt -o stego.txt").status, 0);
  Form1State window;
  window.UserSetsText(TextBox::Text3, AccessCode);
  window.UserSetsText(TextBox::Text1,
                      DecodeText(Slurp(In("stego.txt")), Encoding::Utf8, "stego.txt"));
  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.text4, u"Um acht am Tor");
}

TEST_F(QuillmereText, TheToolReadsWhatTheWindowHid) {
  Form1State window;
  window.UserSetsText(TextBox::Text3, AccessCode);
  window.UserClicks(Button::Command3); // the plain cover text
  window.UserSetsText(TextBox::Text2, u"Grüße");
  window.UserClicks(Button::Command2);
  Store(In("stego.txt"), EncodeText(window.text1, Encoding::Utf8));
  EXPECT_EQ(Run("$Q reveal stego.txt").out, "Grüße");
  EXPECT_EQ(Run("$Q capacity stego.txt").out, "58 gaps, 7 characters\n");
}

} // namespace
} // namespace quillmere::cli
