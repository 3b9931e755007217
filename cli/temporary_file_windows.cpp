// SPDX-License-Identifier: MIT
#include "temporary_file.hpp"

#include "file_replacement.hpp"
#include "wide_text.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <utility>

namespace quillmere::cli::os {
namespace {

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

} // namespace

TemporaryFile::TemporaryFile(std::string path) noexcept : path_(std::move(path)) {
  const std::wstring wide = WideFromUtf8(path_);
  if (wide.size() >= std::size(temporaryPath)) {
    errno = ENAMETOOLONG;
    return;
  }
  CatchConsoleEvents();
  const TemporaryLocked locked;
  // _O_EXCL makes the creation fail where the name exists, which fopen's "x" does not do with
  // every Microsoft C runtime.
  descriptor_ = _wopen(wide.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                       _S_IREAD | _S_IWRITE);
  if (descriptor_ >= 0) {
    std::wmemcpy(temporaryPath, wide.c_str(), wide.size() + 1);
    temporaryHandle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor_));
    temporaryExists = true;
    exists_ = true;
  }
}

bool TemporaryFile::Close() noexcept {
  if (descriptor_ < 0) {
    return true;
  }
  const TemporaryLocked locked;
  temporaryHandle = INVALID_HANDLE_VALUE;
  return _close(std::exchange(descriptor_, -1)) == 0;
}

bool TemporaryFile::Replace(const std::string& target) noexcept {
  const TemporaryLocked locked;
  if (!RenameOver(path_, target)) {
    return false;
  }
  temporaryExists = false;
  exists_ = false;
  return true;
}

void TemporaryFile::Remove() noexcept {
  Close();
  if (!exists_) {
    return;
  }
  const TemporaryLocked locked;
  _wunlink(WideFromUtf8(path_).c_str());
  temporaryExists = false;
  exists_ = false;
}

} // namespace quillmere::cli::os
