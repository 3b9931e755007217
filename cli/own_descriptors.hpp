// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

// The names under which a POSIX system shows a process its own open descriptors, so that an
// output named so is written into the descriptor itself ("2>&1"-style redirections, a file opened
// for appending by the shell) rather than replaced by a new file.
namespace quillmere::cli::os {

// Returns N when `path` names one of this process's own descriptors: "/dev/stdin", "/dev/stdout",
// "/dev/stderr", "/dev/fd/N", "/proc/self/fd/N", "/proc/thread-self/fd/N", "/proc/<this
// process>/fd/N", or a symbolic link that leads to one of them. Otherwise, and on Windows, which
// names its standard streams as devices (CONOUT$, CON) instead, returns nullopt. Says nothing
// about whether N is open.
std::optional<int> OwnDescriptorName(const std::string& path);

} // namespace quillmere::cli::os
