// SPDX-License-Identifier: MIT
// quillmere-text's output targets and interrupts where they are POSIX's own: descriptors named as
// files, pipes, permissions and signals.
#include "cli/own_descriptors.hpp"
#include "quillmere_text_fixture.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillmere::cli {
namespace {

// Returns the permission bits of `path`.
unsigned ModeOf(const fs::path& path) {
  struct stat facts = {};
  EXPECT_EQ(stat(path.c_str(), &facts), 0) << path;
  return facts.st_mode & 07777U;
}

// Returns a cover of at least `size` bytes: the prose cover repeated.
std::string LargeCover(const std::string& prose, std::size_t size) {
  std::string cover;
  cover.reserve(size + prose.size());
  while (cover.size() < size) {
    cover += prose + "\n";
  }
  return cover;
}

TEST(OwnDescriptorName, KnowsTheNamesOfThisProcesssDescriptorsOnly) {
  struct Case {
    std::string path;
    std::optional<int> descriptor;
  };
  const std::vector<Case> cases = {
      {"/dev/stdin", 0},
      {"/dev/stdout", 1},
      {"/dev/stderr", 2},
      {"/dev/fd/7", 7},
      {"/dev/./fd/3", 3},
      {"/proc/self/fd/12", 12},
      {"/proc/" + std::to_string(getpid()) + "/fd/5", 5},
      {"/dev/fd/", std::nullopt},
      {"/dev/fd/x1", std::nullopt},
      {"/dev/fd/-1", std::nullopt},
      {"/dev/stdout.txt", std::nullopt},
      {"/tmp/stdout", std::nullopt},
      {"stdout", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(os::OwnDescriptorName(c.path), c.descriptor) << c.path;
  }
}

// Where the tool's output goes when it is not a plain file of its own.
class OutputTargets : public QuillmereText {
protected:
  void SetUp() override {
    QuillmereText::SetUp();
    prose_ = ProseCover("cover.txt");
    if (prose_.empty()) {
      GTEST_SKIP() << "fortunes-de is not installed";
    }
    const ProgramResult stego = RunShell("$Q hide -m hi cover.txt");
    ASSERT_EQ(stego.status, 0) << stego.err;
    stego_ = stego.out;
  }

  std::string prose_;
  std::string stego_;
};

TEST_F(OutputTargets, AStreamOpenedForAppendingIsAppendedToNotReplaced) {
  std::vector<std::string> redirections = {
      "-o /dev/stdout >> log.txt", "-o /dev/stderr 2>> log.txt", "-o /dev/fd/3 3>> log.txt",
      "-o to-stdout >> log.txt", // a link to /dev/stdout
  };
  if (fs::exists("/proc/self/fd")) {
    redirections.push_back("-o /proc/self/fd/3 3>> log.txt");
  }
  fs::create_symlink("/dev/stdout", In("to-stdout"));
  for (const std::string& redirection : redirections) {
    Store(In("log.txt"), "old\n");
    const ProgramResult r = RunShell("$Q hide -m hi cover.txt " + redirection);
    EXPECT_EQ(r.status, 0) << redirection << ": " << r.err;
    EXPECT_TRUE(SameBytes(Slurp(In("log.txt")), "old\n" + stego_)) << redirection;
  }
}

TEST_F(OutputTargets, PipesReceiveTheText) {
  // Each command leaves the tool's exit status in the file status.
  const char* const commands[] = {
      "($Q hide -m hi cover.txt -o /dev/stdout; echo $? > status) | cat > piped.txt",
      "($Q hide -m hi cover.txt -o /dev/fd/3 3>&1 >/dev/null; echo $? > status) | cat > piped.txt",
      "mkfifo fifo; cat fifo > piped.txt & $Q hide -m hi cover.txt -o fifo; echo $? > status; wait",
  };
  for (const char* command : commands) {
    fs::remove(In("piped.txt"));
    fs::remove(In("fifo"));
    const ProgramResult r = RunShell(command);
    EXPECT_EQ(Slurp(In("status")), "0\n") << command << ": " << r.err;
    EXPECT_TRUE(SameBytes(Slurp(In("piped.txt")), stego_)) << command;
  }
}

TEST_F(OutputTargets, StandardInputFromTheMiddleOfAFileIsReadTwiceFromThere) {
  // The shell's read leaves standard input after the first line; the cover is the rest, which the
  // tool reads twice, first to check it, then to hide, since standard output takes nothing back.
  const ProgramResult r = RunShell(
      "{ read -r first; $Q hide -m hi; } < cover.txt > out.txt &&"
      " tail -n +2 cover.txt | $Q hide -m hi > expected.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(SameBytes(Slurp(In("out.txt")), Slurp(In("expected.txt"))));
  EXPECT_NE(Slurp(In("out.txt")).find("\xC2\xA0"), std::string::npos);
}

TEST_F(OutputTargets, ADescriptorThatIsNotOpenIsAnError) {
  const ProgramResult r = RunShell("$Q hide -m hi cover.txt -o /dev/fd/9");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("/dev/fd/9: Bad file descriptor"), std::string::npos) << r.err;
}

TEST_F(OutputTargets, NamesUpToTheLongestTheSystemAllowsAreWritten) {
  for (const std::size_t length : {243U, 250U, 255U}) {
    const std::string name(length, 'n');
    const ProgramResult r = RunShell("$Q hide -m hi cover.txt -o " + name);
    EXPECT_EQ(r.status, 0) << length << ": " << r.err;
    EXPECT_TRUE(SameBytes(Slurp(In(name)), stego_)) << length;
    fs::remove(In(name));
  }
}

TEST_F(OutputTargets, ReplacedFilesKeepTheirModeNewFilesGetTheUmasks) {
  Store(In("private.txt"), "alt");
  fs::permissions(In("private.txt"), fs::perms(0600));
  Store(In("shared.txt"), "alt");
  fs::permissions(In("shared.txt"), fs::perms(0664));
  ASSERT_EQ(RunShell("umask 077; $Q hide -m hi cover.txt -o shared.txt").status, 0);
  ASSERT_EQ(RunShell("umask 022; $Q hide -m hi cover.txt -o private.txt").status, 0);
  ASSERT_EQ(RunShell("umask 027; $Q hide -m hi cover.txt -o new.txt").status, 0);
  EXPECT_EQ(ModeOf(In("private.txt")), 0600U);
  EXPECT_EQ(ModeOf(In("shared.txt")), 0664U);
  EXPECT_EQ(ModeOf(In("new.txt")), 0640U);
  EXPECT_TRUE(SameBytes(Slurp(In("new.txt")), stego_));
}

// The tool stopped or ended while it writes its output next to the target.
class Interrupts : public QuillmereText {
protected:
  struct Conditions {
    int ignored = 0;      // a signal the tool starts with ignored, as under nohup
    rlim_t sizeLimit = 0; // a limit on the size of files it writes (SIGXFSZ beyond), 0 for none
    std::vector<std::string> command = {"hide", "-m", "Geheim"}; // what it does with the cover
  };

  // Starts the tool on cover.txt (hiding a message unless `run` says otherwise) with target.txt as
  // its output; its standard streams go to files. Returns its process id.
  pid_t Start(const Conditions& run) const {
    const std::string tool = QUILLMERE_TEXT_EXECUTABLE;
    std::vector<std::string> arguments = {tool};
    arguments.insert(arguments.end(), run.command.begin(), run.command.end());
    arguments.insert(arguments.end(), {"cover.txt", "-o", "target.txt"});
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const std::string directory = dir_.string();
    const pid_t pid = fork();
    if (pid == 0) {
      umask(022);
      if (chdir(directory.c_str()) != 0) {
        _exit(126);
      }
      dup2(open("/dev/null", O_RDONLY), 0);
      dup2(open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      dup2(open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      if (run.ignored != 0) {
        signal(run.ignored, SIG_IGN);
      }
      if (run.sizeLimit != 0) {
        const rlimit limit = {run.sizeLimit, run.sizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      const rlimit noCore = {0, 0}; // signals such as SIGQUIT would leave a core file here
      setrlimit(RLIMIT_CORE, &noCore);
      execv(tool.c_str(), argv.data());
      _exit(127);
    }
    return pid;
  }

  // Returns the files of the scratch directory besides the cover, the target and the streams.
  std::vector<fs::path> OtherFiles() const {
    std::vector<fs::path> others;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (name != "cover.txt" && name != "target.txt" && name != ".stdout" && name != ".stderr") {
        others.push_back(entry.path());
      }
    }
    return others;
  }

  // Returns the file the tool created beside target.txt, or nullopt when it ended before one was
  // seen; then `status` holds its wait status.
  std::optional<fs::path> AwaitTemporaryFile(pid_t pid, int& status) const {
    for (;;) {
      if (const std::vector<fs::path> others = OtherFiles(); !others.empty()) {
        return others.front();
      }
      if (waitpid(pid, &status, WNOHANG) == pid) {
        return std::nullopt;
      }
    }
  }

  // Returns the status a shell reports for a wait status: 128 + N for death by signal N.
  static int ShellStatus(int status) {
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  }

  // Starts the tool on ever larger covers until it is caught, stopped, with its temporary file
  // in place; checks that file's mode, calls `whileStopped` with its process id, lets it go on and
  // returns its wait status.
  int StopWhileWriting(const Conditions& run, const std::function<void(pid_t)>& whileStopped) {
    for (std::size_t size = std::size_t{8} << 20; size <= std::size_t{128} << 20; size *= 2) {
      Store(In("cover.txt"), LargeCover(prose_, size));
      const pid_t pid = Start(run);
      int status = 0;
      const std::optional<fs::path> temporary = AwaitTemporaryFile(pid, status);
      if (!temporary) {
        continue; // finished before it was seen: try a larger cover
      }
      kill(pid, SIGSTOP);
      struct stat facts = {};
      const bool caught = stat(temporary->c_str(), &facts) == 0;
      if (caught) {
        EXPECT_EQ(facts.st_mode & 077U, 0U) << "others may read the text while it is written";
        whileStopped(pid);
      }
      kill(pid, SIGCONT);
      waitpid(pid, &status, 0);
      if (caught) {
        return status;
      }
    }
    ADD_FAILURE() << "the tool was never caught while writing";
    return -1;
  }

  // Sends `signal` to the tool while it writes; returns its wait status.
  int InterruptWhileWriting(const Conditions& run, int signal) {
    return StopWhileWriting(run, [signal](pid_t pid) { kill(pid, signal); });
  }

  void SetUp() override {
    QuillmereText::SetUp();
    prose_ = ProseCover("cover.txt");
    if (prose_.empty()) {
      GTEST_SKIP() << "fortunes-de is not installed";
    }
    Store(In("target.txt"), "alt");
    fs::permissions(In("target.txt"), fs::perms(0600));
  }

  // Expects target.txt as it was and no other file beside it.
  void ExpectTargetAsItWasAndNothingLeft() const {
    EXPECT_EQ(Slurp(In("target.txt")), "alt");
    EXPECT_EQ(ModeOf(In("target.txt")), 0600U);
    EXPECT_EQ(OtherFiles(), std::vector<fs::path>()) << "left behind";
  }

  std::string prose_;
};

TEST_F(Interrupts, RemoveTheTemporaryFileAndEndWithTheSignalsStatus) {
  const struct {
    int signal;
    int status;
  } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
  for (const auto& c : cases) {
    const int status = InterruptWhileWriting({}, c.signal);
    EXPECT_EQ(ShellStatus(status), c.status) << strsignal(c.signal);
    ExpectTargetAsItWasAndNothingLeft();
  }
}

TEST_F(Interrupts, AnIgnoredHangupStaysIgnored) {
  const int status = InterruptWhileWriting({.ignored = SIGHUP}, SIGHUP);
  EXPECT_EQ(ShellStatus(status), 0) << Slurp(In(".stderr"));
  EXPECT_NE(Slurp(In("target.txt")), "alt");
}

TEST_F(Interrupts, AFailedWriteRemovesTheTemporaryFileToo) {
  Store(In("cover.txt"), LargeCover(prose_, std::size_t{4} << 20));
  // With SIGXFSZ ignored, a write beyond the limit fails with EFBIG.
  const pid_t pid = Start({.ignored = SIGXFSZ, .sizeLimit = std::size_t{1} << 20});
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(ShellStatus(status), 1);
  EXPECT_NE(Slurp(In(".stderr")).find("write error: File too large"), std::string::npos)
      << Slurp(In(".stderr"));
  ExpectTargetAsItWasAndNothingLeft();
}

// Not only the three interrupts: Ctrl+\ (SIGQUIT), the user signals, the timers and a closed pipe
// ended the tool by their default action and left the private text on disk.
TEST_F(Interrupts, EverySignalThatEndsTheToolRemovesTheTemporaryFileFirst) {
  for (const int signal : {SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGVTALRM, SIGXCPU}) {
    const int status = InterruptWhileWriting({}, signal);
    EXPECT_EQ(ShellStatus(status), 128 + signal) << strsignal(signal);
    ExpectTargetAsItWasAndNothingLeft();
  }
}

TEST_F(Interrupts, AFileSizeLimitReachedRemovesTheTemporaryFile) {
  Store(In("cover.txt"), LargeCover(prose_, std::size_t{4} << 20));
  const pid_t pid = Start({.sizeLimit = std::size_t{1} << 20});
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(ShellStatus(status), 128 + SIGXFSZ);
  ExpectTargetAsItWasAndNothingLeft();
}

// A cover shortened while it was read into a new file ended early, and the short text replaced
// the target with status 0.
TEST_F(Interrupts, ACoverThatShrinksWhileItIsReadLeavesTheTargetAsItWas) {
  const int status =
      StopWhileWriting({}, [this](pid_t) { fs::resize_file(In("cover.txt"), 1000); });
  EXPECT_EQ(ShellStatus(status), 1);
  EXPECT_NE(Slurp(In(".stderr")).find("cover.txt: changed while it was read"), std::string::npos)
      << Slurp(In(".stderr"));
  ExpectTargetAsItWasAndNothingLeft();
}

// clean writes through hide's output, so that an interrupt or a failed write leaves its target too.
TEST_F(Interrupts, CleanKeepsTheTargetOnAnInterruptOrAFailedWrite) {
  const Conditions clean = {.command = {"clean"}};
  EXPECT_EQ(ShellStatus(InterruptWhileWriting(clean, SIGTERM)), 143);
  ExpectTargetAsItWasAndNothingLeft();

  Store(In("cover.txt"), LargeCover(prose_, std::size_t{4} << 20));
  const pid_t pid = Start({.sizeLimit = std::size_t{1} << 20, .command = {"clean"}});
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(ShellStatus(status), 128 + SIGXFSZ);
  ExpectTargetAsItWasAndNothingLeft();
}

// Output appended to its own cover read itself back for ever and filled the disk. The file-size
// limit ends a run that would not stop.
TEST_F(OutputTargets, ADirectOutputThatIsTheCoverItselfIsRefusedBeforeWriting) {
  const char* const commands[] = {
      "$Q hide -m hi app >> app",
      "$Q hide -m hi app -o /dev/stdout >> app",
      "$Q hide -m hi app 1<>app",
      "$Q hide -m hi -o /dev/fd/3 < app 3>>app",
  };
  for (const char* command : commands) {
    Store(In("app"), prose_);
    const ProgramResult r = RunShell(std::string("ulimit -f 4096; ") + command);
    EXPECT_EQ(r.status, 1) << command << ": " << r.err;
    EXPECT_NE(r.err.find(": input file is output file\n"), std::string::npos)
        << command << ": " << r.err;
    EXPECT_TRUE(SameBytes(Slurp(In("app")), prose_)) << command;
  }
}

// For a stream the cover is read twice, first to check it; a change that kept its size and gaps
// ("A" to "Q" at offset 0) went out unnoticed. The tool waits for the named pipe's reader with
// the cover open while the cover is changed.
TEST_F(OutputTargets, ACoverChangedWhileItIsReadIsAnErrorBeforeAStreamGetsAByte) {
  if (!fs::exists("/proc/self/fd")) {
    GTEST_SKIP() << "needs /proc to see the tool waiting";
  }
  const ProgramResult r = RunShell(
      "touch -d 2020-01-01 cover.txt && mkfifo fifo && { $Q hide -m hi cover.txt -o fifo 2>err &"
      " pid=$!; until ls -l /proc/$pid/fd 2>/dev/null | grep -q cover.txt &&"
      " grep -q '^State:.*S' /proc/$pid/status; do sleep 0.01; done;"
      " printf Q | dd of=cover.txt conv=notrunc status=none; cat fifo > out.txt;"
      " wait $pid; echo $? > status; }");
  EXPECT_EQ(Slurp(In("status")), "1\n") << Slurp(In("err"));
  EXPECT_NE(Slurp(In("err")).find("cover.txt: changed while it was read"), std::string::npos)
      << Slurp(In("err"));
  EXPECT_EQ(Slurp(In("out.txt")), "");
}

// Returns the peak resident memory in KiB of `tool` run with `arguments`, its output discarded.
long PeakKibibytes(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open("/dev/null", O_WRONLY), 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage = {};
  wait4(pid, &status, 0, &usage);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  return usage.ru_maxrss;
}

// reveal --bits held one byte per gap and the line once more: 200 MB of spaces took 248 MB.
TEST_F(QuillmereText, RevealBitsHoldsOneBitPerGap) {
#if defined(QUILLMERE_TEXT_MEMORY_NOT_ITS_OWN)
  GTEST_SKIP() << "the tool runs under an emulator or a sanitizer, whose memory counts too";
#endif
  constexpr std::size_t kSize = std::size_t{48} << 20;
  Store(In("spaces.txt"), std::string(kSize, ' '));
  const long peak = PeakKibibytes({QUILLMERE_TEXT_EXECUTABLE, "reveal", "--bits",
                                   In("spaces.txt").string()});
  EXPECT_LT(peak, 20 << 10) << "KiB for " << kSize / 8 / 1024 << " KiB of bits";
}

} // namespace
} // namespace quillmere::cli
