// SPDX-License-Identifier: MIT
#include "file_replacement.hpp"

#include "wide_text.hpp"
#include "windows_errors.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace quillmere::cli::os {
namespace {

// Returns the whole path of `name`: wine's ReplaceFileW fails on relative ones.
std::wstring FullPath(const std::string& name) {
  const std::wstring wide = WideFromUtf8(name);
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

} // namespace

bool RenameOver(const std::string& from, const std::string& to) noexcept {
  const std::wstring source = FullPath(from);
  const std::wstring target = FullPath(to);
  // ReplaceFileW gives the new file the attributes, access rights and creation time of the one it
  // replaces, where a rename would leave those of a new file. A target not yet there is renamed
  // to, as is one that ReplaceFileW removed without putting the new file in its place.
  BOOL done = ReplaceFileW(target.c_str(), source.c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                           nullptr);
  if (done == 0 && (GetLastError() == ERROR_FILE_NOT_FOUND ||
                    GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT)) {
    done = MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  if (done == 0) {
    SetErrnoFromWindowsError(GetLastError());
    return false;
  }
  return true;
}

bool TakePermissionsFor(int, const std::string&) noexcept {
  return true;
}

void SyncDirectoryOf(const std::string&) noexcept {}

} // namespace quillmere::cli::os
