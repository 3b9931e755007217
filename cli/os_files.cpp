// SPDX-License-Identifier: MIT
#include "os_files.hpp"

#include <cerrno>

namespace quillmere::cli::os {

bool WriteFully(int descriptor, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const std::ptrdiff_t written = WriteSome(descriptor, bytes.data(), bytes.size());
    if (written <= 0) {
      errno = written == 0 ? EIO : errno;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

} // namespace quillmere::cli::os
