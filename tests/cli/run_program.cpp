// SPDX-License-Identifier: MIT
#include "run_program.hpp"

#include <atomic>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace quillmere::testing {
namespace {

namespace fs = std::filesystem;

// A file in the temporary folder that no other run uses, removed again with this object.
class ScratchFile {
public:
  explicit ScratchFile(std::string_view role) {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const auto process = static_cast<unsigned long>(getpid());
#endif
    path_ = fs::temp_directory_path() / ("quillmere-run-" + std::to_string(process) + "-" +
                                         std::to_string(counter++) + "." + std::string(role));
  }
  ~ScratchFile() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  [[nodiscard]] const fs::path& Path() const noexcept {
    return path_;
  }

  void Store(std::string_view bytes) const {
    std::ofstream(path_, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  [[nodiscard]] std::string Load() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

private:
  fs::path path_;
};

#ifdef _WIN32
std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) {
    return {};
  }
  const auto length = static_cast<int>(utf8.size());
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), size);
  return wide;
}

// Appends `argument` to a command line, quoted so that the C runtime and CommandLineToArgvW take
// it back exactly: backslashes are doubled only where a quote follows them.
void AppendQuoted(std::wstring& line, std::wstring_view argument) {
  line += L" \"";
  std::size_t backslashes = 0;
  for (const wchar_t ch : argument) {
    if (ch == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(ch == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line += ch;
  }
  line.append(2 * backslashes, L'\\');
  line += L'"';
}

class Handle {
public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) {
      CloseHandle(handle_);
    }
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  [[nodiscard]] HANDLE Get() const noexcept { return handle_; }

private:
  HANDLE handle_;
};

// Opens `path` as a handle the started program inherits.
HANDLE OpenInherited(const fs::path& path, bool forWriting) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.wstring().c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                     forWriting ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Start(const fs::path& program, const std::vector<std::string>& arguments,
          const fs::path& directory, const fs::path& in, const fs::path& out, const fs::path& err) {
  const std::wstring application = fs::absolute(program).wstring();
  std::wstring line = L"\"" + application + L"\"";
  for (const std::string& argument : arguments) {
    AppendQuoted(line, Widen(argument));
  }
  const Handle input(OpenInherited(in, false));
  const Handle output(OpenInherited(out, true));
  const Handle error(OpenInherited(err, true));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.Get();
  startup.hStdOutput = output.Get();
  startup.hStdError = error.Get();
  PROCESS_INFORMATION started{};
  if (CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     directory.wstring().c_str(), &startup, &started) == 0) {
    return -1;
  }
  const Handle process(started.hProcess);
  const Handle thread(started.hThread);
  WaitForSingleObject(process.Get(), INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.Get(), &status);
  return static_cast<int>(status);
}
#else
int Start(const fs::path& program, const std::vector<std::string>& arguments,
          const fs::path& directory, const fs::path& in, const fs::path& out, const fs::path& err) {
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  // Everything the child needs is made before fork(): after it, only calls that are safe there.
  const int streams[] = {open(in.c_str(), O_RDONLY | O_CLOEXEC),
                         open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600),
                         open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)};
  const pid_t child = streams[0] < 0 || streams[1] < 0 || streams[2] < 0 ? -1 : fork();
  if (child == 0) {
    for (int fd = 0; fd < 3; ++fd) {
      if (dup2(streams[fd], fd) < 0) {
        _exit(127);
      }
    }
    // An ignored SIGPIPE would outlive execv(); the program starts as from a shell.
    signal(SIGPIPE, SIG_DFL);
    if (chdir(directory.c_str()) == 0) {
      execv(argv[0], argv.data());
    }
    _exit(127);
  }
  for (const int fd : streams) {
    if (fd >= 0) {
      close(fd);
    }
  }
  if (child < 0) {
    return -1;
  }
  int raw = 0;
  while (waitpid(child, &raw, 0) < 0) {
    if (errno != EINTR) {
      return -1;
    }
  }
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}
#endif

} // namespace

ProgramResult RunProgram(const fs::path& program, const std::vector<std::string>& arguments,
                         const fs::path& directory, std::string_view input) {
  const ScratchFile in("in");
  const ScratchFile out("out");
  const ScratchFile err("err");
  in.Store(input);
  ProgramResult result;
  result.status = Start(program, arguments, directory, in.Path(), out.Path(), err.Path());
  result.out = out.Load();
  result.err = err.Load();
  return result;
}

} // namespace quillmere::testing
