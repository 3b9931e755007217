// SPDX-License-Identifier: MIT
#include "os_files.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

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

#ifdef _WIN32

// Returns the UTF-16 form of the UTF-8 `name`; a byte that is not UTF-8 becomes U+FFFD.
std::wstring Widen(std::string_view name) {
  const auto length = static_cast<int>(std::min<std::size_t>(name.size(), INT_MAX));
  if (length == 0) {
    return {};
  }
  const int size = MultiByteToWideChar(CP_UTF8, 0, name.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, name.data(), length, wide.data(), size);
  return wide;
}

// Returns the UTF-8 form of the UTF-16 `wide`; an unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view wide) {
  const auto length = static_cast<int>(std::min<std::size_t>(wide.size(), INT_MAX));
  if (length == 0) {
    return {};
  }
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

// Returns the whole path of `name`: wine's ReplaceFileW fails on relative ones.
std::wstring FullPath(const std::string& name) {
  const std::wstring wide = Widen(name);
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) {
      return wide;
    }
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
}

// Sets errno to the nearest counterpart of the Windows error `error`, for the tool's messages.
void SetErrno(DWORD error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_NAME:
  case ERROR_INVALID_DRIVE:
  case ERROR_BAD_NETPATH:
  case ERROR_BAD_PATHNAME:
    errno = ENOENT;
    break;
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS:
    errno = EEXIST;
    break;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    errno = ENOSPC;
    break;
  case ERROR_FILENAME_EXCED_RANGE:
    errno = ENAMETOOLONG;
    break;
  case ERROR_NOT_ENOUGH_MEMORY:
  case ERROR_OUTOFMEMORY:
    errno = ENOMEM;
    break;
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
  case ERROR_WRITE_PROTECT:
  case ERROR_UNABLE_TO_REMOVE_REPLACED:
  case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
    errno = EACCES;
    break;
  default:
    errno = EIO;
  }
}

// Returns a C runtime descriptor that owns `handle`, or -1 after closing it.
int DescriptorFor(HANDLE handle, int flags) {
  const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), flags);
  if (descriptor < 0) {
    CloseHandle(handle);
  }
  return descriptor;
}

// The one temporary file a console event removes. The console handler runs on a thread of its
// own, so the record changes, and the file is made, closed, removed and renamed, under this lock.
SRWLOCK temporaryLock = SRWLOCK_INIT;
wchar_t temporaryPath[32768];
HANDLE temporaryHandle = INVALID_HANDLE_VALUE;
bool temporaryExists = false;

// Holds temporaryLock while it lives; keeps errno and the thread's last Windows error.
class TemporaryLocked {
public:
  TemporaryLocked() noexcept { AcquireSRWLockExclusive(&temporaryLock); }
  ~TemporaryLocked() {
    const int error = errno;
    const DWORD windowsError = GetLastError();
    ReleaseSRWLockExclusive(&temporaryLock);
    SetLastError(windowsError);
    errno = error;
  }
  TemporaryLocked(const TemporaryLocked&) = delete;
  TemporaryLocked& operator=(const TemporaryLocked&) = delete;
};

// Called on a thread of its own for Ctrl+C, Ctrl+Break, the closing of the console window, and
// the user logging off or the system shutting down while the tool runs in a console. Removes the
// temporary file and ends the process with status 130, as a POSIX shell reports Ctrl+C. Best
// effort: Ctrl+C does not arrive where it is switched off (a process started in a new process
// group); for a closing console Windows waits only about five seconds; and nothing runs when the
// process is ended from outside (TerminateProcess, "taskkill /F") or crashes. The file is open
// without sharing its deletion, so its handle is closed first; a write still under way on the
// main thread may keep it a moment longer, hence the retries. The main thread, should it reach
// the lock, waits there until the process ends.
BOOL WINAPI RemoveTemporaryAndEnd(DWORD) {
  AcquireSRWLockExclusive(&temporaryLock);
  if (temporaryExists) {
    if (temporaryHandle != INVALID_HANDLE_VALUE) {
      CloseHandle(temporaryHandle);
    }
    for (int attempt = 0; attempt < 200 && DeleteFileW(temporaryPath) == 0 &&
                          GetLastError() == ERROR_SHARING_VIOLATION;
         ++attempt) {
      Sleep(10);
    }
  }
  TerminateProcess(GetCurrentProcess(), 130);
  return TRUE;
}

// Installs RemoveTemporaryAndEnd, once.
void CatchConsoleEvents() {
  static const bool installed = SetConsoleCtrlHandler(RemoveTemporaryAndEnd, TRUE) != 0;
  static_cast<void>(installed);
}

#else

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

// The signals whose default action ends the process, all but SIGKILL, which cannot be caught.
// The crash signals are among them, so that a file is removed also when one is sent from outside.
constexpr int kEndingSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP,   SIGABRT, SIGBUS,  SIGFPE,  SIGUSR1,
    SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,   SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
};

// Calls `visit` with every signal whose default action ends the process, the real-time signals
// (whose numbers are known only at run time) included.
template <typename Visit>
void ForEachEndingSignal(Visit visit) {
  for (const int signal : kEndingSignals) {
    visit(signal);
  }
#if defined(SIGRTMIN) && defined(SIGRTMAX)
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
    visit(signal);
  }
#endif
}

sigset_t InterruptSet() {
  sigset_t set;
  sigemptyset(&set);
  ForEachEndingSignal([&set](int signal) { sigaddset(&set, signal); });
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

// Installs RemoveTemporaryAndEnd, once, for every signal that ends the process by default. A
// signal the caller chose to ignore (nohup, a background job) stays ignored, and one that already
// has a handler in this process (a sanitizer's) keeps it.
void CatchInterrupts() {
  static bool installed = false;
  if (installed) {
    return;
  }
  installed = true;
  const sigset_t all = InterruptSet();
  ForEachEndingSignal([&all](int signal) {
    struct sigaction current = {};
    if (sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
        current.sa_handler != SIG_DFL) {
      return;
    }
    struct sigaction action = {};
    action.sa_handler = RemoveTemporaryAndEnd;
    action.sa_mask = all;
    sigaction(signal, &action, nullptr);
  });
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

std::filesystem::path PathFromUtf8(std::string_view name) {
  return fs::path(Widen(name));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  return Narrow(path.native());
}

int OpenForReading(const std::string& path) noexcept {
  // Shared for writing and deletion too, as files are on POSIX systems, so that an output written
  // over its own input can replace it while it is still open here.
  const HANDLE handle = CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    SetErrno(GetLastError());
    return -1;
  }
  return DescriptorFor(handle, _O_RDONLY | _O_BINARY);
}

// Windows names its standard streams as devices (CONOUT$, CON), which OpenUnlessRegularFile
// writes directly.
std::optional<int> OwnDescriptorName(const std::string&) {
  return std::nullopt;
}

bool IsOpen(int descriptor) noexcept {
  return _get_osfhandle(descriptor) != -1;
}

std::optional<int> OpenUnlessRegularFile(const std::string& path) noexcept {
  const std::wstring wide = Widen(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return -1;
  }
  // A device (NUL, CON, COM1, \\.\pipe\...) is known by the type of an open handle, since its
  // name need not exist as a file. Opened this way, a regular file is neither created nor changed.
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt; // nothing there yet, or a file whose replacement will say what is wrong
  }
  if (GetFileType(handle) == FILE_TYPE_DISK) {
    CloseHandle(handle);
    return std::nullopt;
  }
  return DescriptorFor(handle, _O_WRONLY | _O_BINARY);
}

int CreateTemporary(const std::string& path) noexcept {
  const std::wstring wide = Widen(path);
  if (wide.size() >= std::size(temporaryPath)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  CatchConsoleEvents();
  const TemporaryLocked locked;
  // _O_EXCL makes the creation fail where the name exists, which fopen's "x" does not do with
  // every Microsoft C runtime.
  const int descriptor =
      _wopen(wide.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
             _S_IREAD | _S_IWRITE);
  if (descriptor >= 0) {
    std::wmemcpy(temporaryPath, wide.c_str(), wide.size() + 1);
    temporaryHandle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    temporaryExists = true;
  }
  return descriptor;
}

void RemoveTemporary(const std::string& path) noexcept {
  const TemporaryLocked locked;
  _wunlink(Widen(path).c_str());
  temporaryExists = false;
}

bool ReplaceWithTemporary(const std::string& temporary, const std::string& target) noexcept {
  const std::wstring from = FullPath(temporary);
  const std::wstring to = FullPath(target);
  const TemporaryLocked locked;
  // ReplaceFileW gives the new file the attributes, access rights and creation time of the one it
  // replaces, where a rename would leave those of a new file. A target not yet there is renamed
  // to, as is one that ReplaceFileW removed without putting the new file in its place.
  BOOL done = ReplaceFileW(to.c_str(), from.c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                           nullptr);
  if (done == 0 && (GetLastError() == ERROR_FILE_NOT_FOUND ||
                    GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT)) {
    done =
        MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  if (done == 0) {
    SetErrno(GetLastError());
    return false;
  }
  temporaryExists = false;
  return true;
}

bool SyncFile(int descriptor) noexcept {
  return _commit(descriptor) == 0;
}

// Windows flushes no directories; the file system's journal keeps the replacement whole.
void SyncDirectoryOf(const std::string&) noexcept {}

// ReplaceWithTemporary carries the target's attributes and access rights over; a new file gets
// those its directory gives.
bool TakePermissionsFor(int, const std::string&) noexcept {
  return true;
}

bool Close(int descriptor) noexcept {
  const TemporaryLocked locked;
  if (temporaryExists && temporaryHandle == reinterpret_cast<HANDLE>(_get_osfhandle(descriptor))) {
    temporaryHandle = INVALID_HANDLE_VALUE;
  }
  return _close(descriptor) == 0;
}

#else

std::filesystem::path PathFromUtf8(std::string_view name) {
  return fs::path(std::string(name));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  return path.string();
}

int OpenForReading(const std::string& path) noexcept {
  return open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
}

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

std::optional<int> OpenUnlessRegularFile(const std::string& path) noexcept {
  struct stat facts = {};
  if (stat(path.c_str(), &facts) != 0 || S_ISREG(facts.st_mode)) {
    return std::nullopt;
  }
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

bool WriteFully(int descriptor, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
#ifdef _WIN32
    const auto chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), INT_MAX));
    const int written = _write(descriptor, bytes.data(), chunk);
#else
    const ssize_t written = write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
#endif
    if (written <= 0) {
      errno = written == 0 ? EIO : errno;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
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

std::optional<FileIdentity> IdentityOf(int descriptor) noexcept {
#ifdef _WIN32
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  BY_HANDLE_FILE_INFORMATION facts = {};
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
      GetFileInformationByHandle(handle, &facts) == 0 ||
      (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  const auto wide = [](DWORD high, DWORD low) {
    return (std::uint64_t{high} << 32) | std::uint64_t{low};
  };
  return FileIdentity{
      facts.dwVolumeSerialNumber, wide(facts.nFileIndexHigh, facts.nFileIndexLow),
      wide(facts.nFileSizeHigh, facts.nFileSizeLow),
      static_cast<std::int64_t>(
          wide(facts.ftLastWriteTime.dwHighDateTime, facts.ftLastWriteTime.dwLowDateTime))};
#else
  struct stat facts = {};
  if (fstat(descriptor, &facts) != 0 || !S_ISREG(facts.st_mode)) {
    return std::nullopt;
  }
  return FileIdentity{static_cast<std::uint64_t>(facts.st_dev),
                      static_cast<std::uint64_t>(facts.st_ino),
                      static_cast<std::uint64_t>(facts.st_size),
                      std::int64_t{facts.st_mtim.tv_sec} * 1'000'000'000 + facts.st_mtim.tv_nsec};
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
