// SPDX-License-Identifier: MIT
#include "windows_errors.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cerrno>

namespace quillmere::cli::os {

void SetErrnoFromWindowsError(unsigned long error) noexcept {
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

} // namespace quillmere::cli::os
