// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// Putting a finished new file in the place of an old one in one step, with the old one's
// permissions, so that a reader sees either the old content or the new, and a crash leaves one of
// them. File names are UTF-8 on every system. A function that fails returns false and leaves the
// reason in errno.
namespace quillmere::cli::os {

// Renames the file `from` over `to`, replacing it in one step; a `to` not yet there is created so.
// On Windows the new file keeps the attributes, access rights and creation time of the one it
// replaces. Returns false on failure, when `from` is still there. TemporaryFile::Replace is the
// tool's way to call it.
bool RenameOver(const std::string& from, const std::string& to) noexcept;

// Gives `descriptor` the permissions of the existing file `target`, and its owner and group where
// this process may; for a target that does not exist yet, the permissions of a new file (read and
// write for all, less the process's file creation mask). Returns false when they cannot be set.
// Does nothing on Windows, where RenameOver carries them over.
bool TakePermissionsFor(int descriptor, const std::string& target) noexcept;

// Flushes the directory holding `path`, so that a rename in it survives a crash. Best effort: a
// directory that cannot be flushed is left as it is. Does nothing on Windows, whose file systems
// keep a rename whole by their journal.
void SyncDirectoryOf(const std::string& path) noexcept;

} // namespace quillmere::cli::os
