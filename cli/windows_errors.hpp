// SPDX-License-Identifier: MIT
#pragma once

#ifdef _WIN32
// Windows' error codes in the terms of the C runtime, so that the tool's messages read alike on
// every system. Windows only.
namespace quillmere::cli::os {

// Sets errno to the nearest counterpart of the Windows error `error` (a GetLastError() value):
// ENOENT, EEXIST, ENOSPC, ENAMETOOLONG, ENOMEM or EACCES, and EIO for every other.
void SetErrnoFromWindowsError(unsigned long error) noexcept;

} // namespace quillmere::cli::os
#endif
