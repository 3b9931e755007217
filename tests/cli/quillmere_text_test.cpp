// SPDX-License-Identifier: MIT
#include "cli/text_files.hpp"
#include "window/form1_actions.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quillmere::cli {
namespace {

namespace fs = std::filesystem;

const std::string kTool = QUILLMERE_TEXT_EXECUTABLE;

struct Result {
  int status;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void Store(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs the tool in a scratch directory; each test gets its own.
class QuillmereText : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quillmere_text_test_" +
            std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path In(const std::string& name) const { return dir_ / name; }

  // Runs `shell` (with $Q standing for the tool) in the scratch directory.
  Result Run(const std::string& shell) const {
    const std::string command =
        "cd '" + dir_.string() + "' && Q='" + kTool + "' && (" + shell + ") >.stdout 2>.stderr";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(In(".stdout")), Slurp(In(".stderr"))};
  }

  // Writes a cover of German prose from fortunes-de, its lines joined by `lineEnd`.
  std::string ProseCover(const std::string& name, const std::string& lineEnd = "\n") const {
    const fs::path source = "/usr/share/games/fortunes/de/zitate.u8";
    if (!fs::exists(source)) {
      return {};
    }
    std::ifstream in(source, std::ios::binary);
    std::string text;
    std::string line;
    for (int n = 0; n < 400 && std::getline(in, line); ++n) {
      text += line + lineEnd;
    }
    text.pop_back(); // no final line end
    Store(In(name), text);
    return text;
  }

  fs::path dir_;
};

#define NEED_PROSE(cover) \
  if ((cover).empty())    \
  GTEST_SKIP() << "fortunes-de is not installed"

// Returns `stego` with its no-break spaces made plain again, as UTF-8 bytes.
std::string Unhidden(std::string stego) {
  for (std::size_t at; (at = stego.find("\xC2\xA0")) != std::string::npos;) {
    stego.replace(at, 2, " ");
  }
  return stego;
}

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

TEST_F(QuillmereText, CommandLineMistakesExitWithTwoAndNameTheMistake) {
  Store(In("cover.txt"), "ein Text mit genug Lücken für ein x und noch mehr");
  struct Case {
    const char* command;
    const char* message;
  };
  const Case cases[] = {
      {"$Q", "no command given (choose hide, reveal or capacity)"},
      {"$Q frobnicate cover.txt", "unknown command 'frobnicate'"},
      {"$Q --frobnicate", "unknown option '--frobnicate'"},
      {"$Q reveal --frobnicate cover.txt", "unknown option '--frobnicate'"},
      {"$Q reveal cover.txt cover.txt", "unexpected argument 'cover.txt'"},
      {"$Q hide cover.txt -o out.txt", "hide needs one message: -m TEXT or --message-file FILE"},
      {"$Q hide -m x --message-file cover.txt cover.txt -o out.txt",
       "hide needs one message: -m TEXT or --message-file FILE"},
      {"$Q hide cover.txt -o out.txt -m", "option --message needs a value"},
      {"$Q reveal --encoding latin1 cover.txt",
       "unknown encoding 'latin1' (choose utf-8 or windows-1252)"},
      {"$Q hide -m x --encoding 1 cover.txt -o out.txt",
       "unknown encoding '1' (choose utf-8 or windows-1252)"}, // not the coding's number
      {"$Q capacity --encoding 0 cover.txt", "unknown encoding '0' (choose utf-8 or windows-1252)"},
  };
  for (const Case& c : cases) {
    const Result r = Run(c.command);
    EXPECT_EQ(r.status, 2) << c.command;
    EXPECT_EQ(r.err.rfind(std::string("quillmere-text: ") + c.message + "\n", 0), 0U)
        << c.command << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.command;
    EXPECT_FALSE(fs::exists(In("out.txt"))) << c.command;
  }
}

TEST_F(QuillmereText, EncodingNamesIgnoreCaseAndCp1252IsWindows1252) {
  Store(In("cover.txt"), "ein Text mit genug Lücken für ein x und noch mehr");
  for (const char* name : {"UTF-8", "utf-8", "Windows-1252", "cp1252", "CP1252"}) {
    const Result r = Run(std::string("$Q capacity --encoding ") + name + " cover.txt");
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(r.out, "10 gaps, 1 characters\n") << name;
  }
}

TEST_F(QuillmereText, HelpStartsWithUsageFitsEightyColumnsAndNamesFiles) {
  for (const char* command : {"", " hide", " reveal", " capacity"}) {
    const Result r = Run(std::string("$Q") + command + " --help");
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.rfind(std::string("Usage: quillmere-text") + command + " [OPTIONS] ", 0), 0U)
        << r.out;
    EXPECT_NE(r.out.find("FILE"), std::string::npos) << r.out;
    std::string lower = r.out;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_EQ(lower.find("stego"), std::string::npos) << r.out;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(line.size(), 80U) << line;
    }
    EXPECT_EQ(r.out.back(), '\n');
  }
}

TEST_F(QuillmereText, VersionNamesTheLicenceAndEndsWithANewline) {
  const Result version = Run("$Q --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("quillmere-text 1.00\n", 0), 0U) << version.out;
  EXPECT_NE(version.out.find("MIT License"), std::string::npos) << version.out;
  EXPECT_EQ(version.out.back(), '\n');
}

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
