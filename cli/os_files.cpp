#include "os_files.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillmere::cli::os {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32

// Returns N when `path`, absolute and lexically normal, is one of the names of descriptor N.
std::optional<int> DescriptorNamedBy(const fs::path& path) {
  const std::string name = path.string();
  if (name == "/dev/stdin") {
    return 0;
  }
  if (name == "/dev/stdout") {
    return 1;
  }
  if (name == "/dev/stderr") {
    return 2;
  }
  const std::string own = "/proc/" + std::to_string(getpid()) + "/fd/";
  for (const std::string_view directory :
       {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
        std::string_view("/proc/thread-self/fd/"), std::string_view(own)}) {
    if (!name.starts_with(directory)) {
      continue;
    }
    const std::string_view digits = std::string_view(name).substr(directory.size());
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    return std::stoi(std::string(digits));
  }
  return std::nullopt;
}

// The one temporary file an interrupt removes, kept where a signal handler can read it.
char temporaryPath[4096];
volatile std::sig_atomic_t temporaryExists = 0;

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t InterruptSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kInterrupts) {
    sigaddset(&set, signal);
  }
  return set;
}

// Removes the temporary file, then ends the process by the same signal with its default action,
// so that the caller sees the usual status (130 for SIGINT, 143 for SIGTERM in a shell). Uses only
// calls that are safe in a signal handler.
void RemoveTemporaryAndEnd(int signal) {
  if (temporaryExists != 0) {
    unlink(temporaryPath);
  }
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  _exit(128 + signal);
}

// Installs RemoveTemporaryAndEnd for the interrupts, once. A signal the caller chose to ignore
// (nohup, a background job) stays ignored.
void CatchInterrupts() {
  static bool installed = false;
  if (installed) {
    return;
  }
  installed = true;
  for (const int signal : kInterrupts) {
    struct sigaction current = {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action = {};
    action.sa_handler = RemoveTemporaryAndEnd;
    action.sa_mask = InterruptSet();
    sigaction(signal, &action, nullptr);
  }
}

// Holds back the interrupts while it lives, so that the temporary file and its record change
// together; a held interrupt arrives when it ends. Keeps errno.
class InterruptsHeld {
public:
  InterruptsHeld() noexcept {
    const sigset_t interrupts = InterruptSet();
    sigprocmask(SIG_BLOCK, &interrupts, &saved_);
  }
  ~InterruptsHeld() {
    const int error = errno;
    sigprocmask(SIG_SETMASK, &saved_, nullptr);
    errno = error;
  }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
  sigset_t saved_;
};

#endif

} // namespace

#ifdef _WIN32

// Windows names its consoles and devices differently; until they are recognised here, such a
// name is opened as a file.
std::optional<int> OwnDescriptorName(const std::string&) {
  return std::nullopt;
}

bool IsOpen(int descriptor) noexcept {
  return _get_osfhandle(descriptor) != -1;
}

int OpenExisting(const std::string& path) noexcept {
  return _open(path.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
}

// Without signals to catch, an interrupted run leaves the temporary file behind.
int CreateTemporary(const std::string& path) noexcept {
  return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
               _S_IREAD | _S_IWRITE);
}

void RemoveTemporary(const std::string& path) noexcept {
  _unlink(path.c_str());
}

bool ReplaceWithTemporary(const std::string& temporary, const std::string& target) noexcept {
  std::error_code error;
  fs::rename(temporary, target, error);
  if (error) {
    errno = EACCES;
    return false;
  }
  return true;
}

bool WriteFully(int descriptor, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const auto chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), INT_MAX));
    const int written = _write(descriptor, bytes.data(), chunk);
    if (written <= 0) {
      errno = written == 0 ? EIO : errno;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool SyncFile(int descriptor) noexcept {
  return _commit(descriptor) == 0;
}

void SyncDirectoryOf(const std::string&) noexcept {}

bool TakePermissionsFor(int, const std::string&) noexcept {
  return true;
}

bool Close(int descriptor) noexcept {
  return _close(descriptor) == 0;
}

#else

std::optional<int> OwnDescriptorName(const std::string& path) {
  std::error_code error;
  fs::path current = fs::absolute(path, error).lexically_normal();
  // Each step resolves the directories, then at most one link of the last name, checking the
  // name before and after: /dev/fd is itself a link to /proc/self/fd on Linux.
  for (int step = 0; !error && step < 40; ++step) {
    if (const auto descriptor = DescriptorNamedBy(current)) {
      return descriptor;
    }
    current = fs::canonical(current.parent_path(), error) / current.filename();
    if (error) {
      break;
    }
    if (const auto descriptor = DescriptorNamedBy(current)) {
      return descriptor;
    }
    if (!fs::is_symlink(current, error)) {
      break;
    }
    const fs::path link = fs::read_symlink(current, error);
    current = (link.is_absolute() ? link : current.parent_path() / link).lexically_normal();
  }
  return std::nullopt;
}

bool IsOpen(int descriptor) noexcept {
  return fcntl(descriptor, F_GETFD) != -1;
}

int OpenExisting(const std::string& path) noexcept {
  return open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
}

int CreateTemporary(const std::string& path) noexcept {
  if (path.size() >= sizeof temporaryPath) {
    errno = ENAMETOOLONG;
    return -1;
  }
  CatchInterrupts();
  const InterruptsHeld held;
  const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (descriptor >= 0) {
    std::memcpy(temporaryPath, path.c_str(), path.size() + 1);
    temporaryExists = 1;
  }
  return descriptor;
}

void RemoveTemporary(const std::string& path) noexcept {
  const InterruptsHeld held;
  unlink(path.c_str());
  temporaryExists = 0;
}

bool ReplaceWithTemporary(const std::string& temporary, const std::string& target) noexcept {
  const InterruptsHeld held;
  if (rename(temporary.c_str(), target.c_str()) != 0) {
    return false;
  }
  temporaryExists = 0;
  return true;
}

bool WriteFully(int descriptor, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t written = write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      errno = written == 0 ? EIO : errno;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool SyncFile(int descriptor) noexcept {
  return fsync(descriptor) == 0;
}

void SyncDirectoryOf(const std::string& path) noexcept {
  std::string directory = fs::path(path).parent_path().string();
  if (directory.empty()) {
    directory = ".";
  }
  const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0) {
    fsync(descriptor);
    close(descriptor);
  }
}

bool TakePermissionsFor(int descriptor, const std::string& target) noexcept {
  struct stat existing = {};
  if (stat(target.c_str(), &existing) != 0) {
    const mode_t mask = umask(0);
    umask(mask);
    return fchmod(descriptor, static_cast<mode_t>(0666) & ~mask) == 0;
  }
  // Where the owner cannot be given, the group may still be; failing both leaves this process's.
  [[maybe_unused]] const bool ownerTaken =
      fchown(descriptor, existing.st_uid, existing.st_gid) == 0 ||
      fchown(descriptor, static_cast<uid_t>(-1), existing.st_gid) == 0;
  return fchmod(descriptor, existing.st_mode & 07777) == 0;
}

bool Close(int descriptor) noexcept {
  return close(descriptor) == 0;
}

#endif

// Reading files, and starting their writeback.

int OpenForReading(const std::string& path) noexcept {
#ifdef _WIN32
  return _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
#else
  return open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
#endif
}

std::ptrdiff_t ReadSome(int descriptor, char* buffer, std::size_t size) noexcept {
#ifdef _WIN32
  return _read(descriptor, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
#else
  for (;;) {
    const ssize_t got = read(descriptor, buffer, size);
    if (got >= 0 || errno != EINTR) {
      return got;
    }
  }
#endif
}

bool IsRegularFile(int descriptor) noexcept {
#ifdef _WIN32
  struct _stat64 facts = {};
  return _fstat64(descriptor, &facts) == 0 && (facts.st_mode & _S_IFMT) == _S_IFREG;
#else
  struct stat facts = {};
  return fstat(descriptor, &facts) == 0 && S_ISREG(facts.st_mode);
#endif
}

std::int64_t Position(int descriptor) noexcept {
#ifdef _WIN32
  return _lseeki64(descriptor, 0, SEEK_CUR);
#else
  return lseek(descriptor, 0, SEEK_CUR);
#endif
}

bool Seek(int descriptor, std::int64_t position) noexcept {
#ifdef _WIN32
  return _lseeki64(descriptor, position, SEEK_SET) == position;
#else
  return lseek(descriptor, static_cast<off_t>(position), SEEK_SET) == position;
#endif
}

void StartWriteback([[maybe_unused]] int descriptor, [[maybe_unused]] std::uint64_t offset,
                    [[maybe_unused]] std::uint64_t length) noexcept {
#ifdef __linux__
  sync_file_range(descriptor, static_cast<off64_t>(offset), static_cast<off64_t>(length),
                  SYNC_FILE_RANGE_WRITE);
#endif
}

} // namespace quillmere::cli::os
