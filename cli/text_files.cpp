// SPDX-License-Identifier: MIT
#include "text_files.hpp"

#include "file_replacement.hpp"
#include "os_files.hpp"
#include "own_descriptors.hpp"
#include "platform.hpp"

#include "codec/byte_gaps.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

namespace quillmere::cli {
namespace {

namespace fs = std::filesystem;

std::string ErrnoText() {
  return std::strerror(errno);
}

// Creates a new file in the directory of `target` under a short random name, which fits wherever
// the target's own name does.
std::unique_ptr<os::TemporaryFile> CreateTemporaryNextTo(const fs::path& target) {
  constexpr std::string_view kLetters = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::random_device entropy;
  std::mt19937_64 pick(entropy());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ".quillmere-";
    for (int i = 0; i < 8; ++i) {
      name += kLetters[pick() % kLetters.size()];
    }
    // A name that exists is refused, so another process's file is never taken over.
    auto file = std::make_unique<os::TemporaryFile>(os::Utf8FromPath(target.parent_path() / name));
    if (file->Descriptor() >= 0) {
      return file;
    }
    if (errno != EEXIST) {
      break;
    }
  }
  throw ToolError(ShownName(os::Utf8FromPath(target)) +
                  ": cannot create a file next to it: " + ErrnoText());
}

} // namespace

bool IsStandardStream(std::string_view path) noexcept {
  return path == "-";
}

std::string ShownName(std::string_view path) {
  TextScanner utf8(TextEncoding::Utf8);
  const bool isUtf8 = utf8.Scan(path) && utf8.Finish();
  const bool plain =
      !path.empty() && isUtf8 && std::none_of(path.begin(), path.end(), [](char byte) {
        return static_cast<unsigned char>(byte) < 0x20 || byte == '\x7F';
      });
  if (plain) {
    return std::string(path);
  }
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string shown = "'";
  for (const char byte : path) {
    const auto code = static_cast<unsigned char>(byte);
    if (byte == '\n') {
      shown += "\\n";
    } else if (byte == '\t') {
      shown += "\\t";
    } else if (byte == '\r') {
      shown += "\\r";
    } else if (byte == '\'' || byte == '\\') {
      shown += '\\';
      shown += byte;
    } else if (code < 0x20 || code == 0x7F || (code >= 0x80 && !isUtf8)) {
      shown += "\\x";
      shown += kHex[code >> 4];
      shown += kHex[code & 0xF];
    } else {
      shown += byte;
    }
  }
  return shown + "'";
}

std::string NameForMessages(std::string_view path) {
  return IsStandardStream(path) ? std::string("standard input") : ShownName(path);
}

TextReader::TextReader(const std::string& path) : name_(NameForMessages(path)) {
  if (IsStandardStream(path)) {
    UseBinaryMode(stdin);
    descriptor_ = 0;
  } else {
    // open("") fails so on POSIX systems; Windows might take it for the current folder.
    errno = ENOENT;
    descriptor_ = path.empty() ? -1 : os::OpenForReading(path);
    if (descriptor_ < 0) {
      throw ToolError(name_ + ": " + ErrnoText());
    }
    ownsDescriptor_ = true;
  }
  opened_ = os::IdentityOf(descriptor_);
  // Left uninitialised: filling it with zeros would cost a pass over memory.
  buffer_ = std::make_unique_for_overwrite<char[]>(kPieceBytes);
}

TextReader::~TextReader() {
  Close();
}

bool TextReader::Changed() const noexcept {
  return opened_ && os::IdentityOf(descriptor_) != opened_;
}

void TextReader::Close() noexcept {
  if (ownsDescriptor_) {
    ownsDescriptor_ = false;
    os::Close(descriptor_);
  }
}

std::span<char> TextReader::Fill(char* buffer) {
  // A pipe hands out what it holds at the moment: reading on until the piece is full keeps the
  // pieces large.
  std::size_t got = 0;
  while (got < kPieceBytes) {
    const std::ptrdiff_t read = os::ReadSome(descriptor_, buffer + got, kPieceBytes - got);
    if (read < 0) {
      throw ToolError(name_ + ": read error: " + ErrnoText());
    }
    if (read == 0) {
      break;
    }
    got += static_cast<std::size_t>(read);
  }
  return {buffer, got};
}

std::span<char> TextReader::Next() {
  if (replaying_) {
    return nextKept_ < kept_.size() ? kept_[nextKept_++] : std::span<char>();
  }
  if (!keeping_) {
    return Fill(buffer_.get());
  }
  auto memory = std::make_unique_for_overwrite<char[]>(kPieceBytes);
  const std::span<char> piece = Fill(memory.get());
  if (!piece.empty()) {
    kept_.push_back(piece);
    keptMemory_.push_back(std::move(memory));
  }
  return piece;
}

void TextReader::KeepForRereading() {
  if (os::IsRegularFile(descriptor_)) {
    start_ = os::Position(descriptor_);
  }
  keeping_ = start_ < 0;
}

void TextReader::Rewind() {
  if (keeping_) {
    keeping_ = false;
    replaying_ = true;
    nextKept_ = 0;
  } else if (!os::Seek(descriptor_, start_)) {
    throw ToolError(name_ + ": cannot read it again: " + ErrnoText());
  }
}

std::string ReadWhole(const std::string& path) {
  TextReader reader(path);
  std::string bytes;
  for (std::span<char> piece; !(piece = reader.Next()).empty();) {
    bytes.append(piece.data(), piece.size());
  }
  return bytes;
}

AtomicOutput::AtomicOutput(const std::string& path) : name_(ShownName(path)) {
  if (IsStandardStream(path)) {
    UseBinaryMode(stdout);
    name_ = "standard output";
    descriptor_ = 1;
    return;
  }
  if (path.empty()) {
    throw ToolError(name_ + ": " + std::strerror(ENOENT));
  }
  if (const auto own = os::OwnDescriptorName(path)) {
    if (!os::IsOpen(*own)) {
      throw ToolError(name_ + ": " + std::strerror(EBADF));
    }
    descriptor_ = *own;
    return;
  }
  const os::DeviceOpening device = os::OpenUnlessRegularFile(path);
  if (device.found == os::DeviceOpening::Found::kCannotOpen) {
    throw ToolError(name_ + ": " + ErrnoText());
  }
  if (device.found == os::DeviceOpening::Found::kOpened) {
    descriptor_ = device.descriptor;
    ownsDescriptor_ = true;
    return;
  }
  std::error_code error;
  fs::path target = os::PathFromUtf8(path);
  if (fs::is_symlink(target, error)) {
    target = fs::canonical(target, error);
    if (error) {
      throw ToolError(name_ + ": " + error.message());
    }
  }
  target_ = os::Utf8FromPath(target);
  temporary_ = CreateTemporaryNextTo(target);
  descriptor_ = temporary_->Descriptor();
}

// An output not committed leaves no new file: the temporary file removes itself.
AtomicOutput::~AtomicOutput() {
  if (ownsDescriptor_) {
    os::Close(descriptor_);
  }
}

bool AtomicOutput::WritesInto(const TextReader& input) const noexcept {
  if (!WritesDirectly() || !input.opened_) {
    return false;
  }
  const std::optional<os::FileIdentity> output = os::IdentityOf(descriptor_);
  return output && output->SameFileAs(*input.opened_);
}

void AtomicOutput::Fail(std::string_view what) const {
  throw ToolError(name_ + ": " + std::string(what) + ErrnoText());
}

void AtomicOutput::Write(std::string_view bytes) {
  if (!os::WriteFully(descriptor_, bytes)) {
    Fail("write error: ");
  }
  if (temporary_ == nullptr) {
    return;
  }
  // The disk takes the new file a megabyte at a time while the rest is made, so that Commit waits
  // only for the last of them.
  constexpr std::uint64_t kWritebackBytes = std::uint64_t{1} << 20;
  written_ += bytes.size();
  if (written_ - writtenBack_ >= kWritebackBytes) {
    os::StartWriteback(descriptor_, writtenBack_, written_ - writtenBack_);
    writtenBack_ = written_;
  }
}

void AtomicOutput::Commit() {
  if (temporary_ == nullptr) {
    if (ownsDescriptor_) {
      ownsDescriptor_ = false;
      if (!os::Close(descriptor_)) {
        Fail("write error: ");
      }
    }
    return;
  }
  if (!os::SyncFile(descriptor_)) {
    Fail("write error: ");
  }
  if (!os::TakePermissionsFor(descriptor_, target_)) {
    Fail("cannot set the permissions: ");
  }
  if (!temporary_->Close()) {
    Fail("write error: ");
  }
  if (!temporary_->Replace(target_)) {
    Fail("");
  }
  temporary_.reset();
  // Once the directory holds the rename, a crash leaves the new text, never an empty file.
  os::SyncDirectoryOf(target_);
}

void WriteAll(const std::string& path, std::string_view bytes) {
  AtomicOutput output(path);
  output.Write(bytes);
  output.Commit();
}

} // namespace quillmere::cli
