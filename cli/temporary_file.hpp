// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// The new file an output is written to before it takes the place of its target: created only
// where no file exists, readable and writable by its owner only, and removed whichever way the
// process ends before it took that place.
namespace quillmere::cli::os {

// Owns a new file and its removal. Until Remove or Replace, every signal whose default action ends
// the process (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, the user and timer signals, ...)
// removes the file before the process ends as that default action ends it, unless the signal was
// ignored or handled when the file was made; on Windows a console event (Ctrl+C, Ctrl+Break, the
// console closing) removes it and ends the process with status 130. One such file exists at a
// time. The name is UTF-8 on every system.
class TemporaryFile {
public:
  // Creates the file `path`, which must not exist yet, open for writing bytes as they are.
  // Descriptor() is -1 when that fails, with the reason in errno: EEXIST where the name is taken.
  explicit TemporaryFile(std::string path) noexcept;
  // Closes the file and removes it, unless it took another's place.
  ~TemporaryFile() { Remove(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Returns the descriptor of the open file: -1 when it could not be created, or after Close.
  [[nodiscard]] int Descriptor() const noexcept { return descriptor_; }
  // Returns the name the file was created under.
  [[nodiscard]] const std::string& Name() const noexcept { return path_; }

  // Closes the file, which stays; returns false when the close reports an error, such as a failed
  // delayed write. Does nothing when it is closed already.
  bool Close() noexcept;

  // Renames the closed file over `target` in one step (RenameOver); from then on it is the
  // target's, and nothing removes it. Returns false on failure, when the file is still this one's.
  bool Replace(const std::string& target) noexcept;

  // Closes and removes the file now, if it is still there; an interrupt no longer touches it.
  void Remove() noexcept;

private:
  std::string path_;
  int descriptor_ = -1;
  bool exists_ = false;
};

} // namespace quillmere::cli::os
