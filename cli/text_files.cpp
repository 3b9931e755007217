#include "text_files.hpp"

#include "codec/windows1252.hpp"

#include <utf8.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace quillmere::cli {
namespace {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Describe(std::string_view path) {
  return IsStandardStream(path) ? std::string("standard input") : std::string(path);
}

// Standard input and output must not translate line ends, or CR LF would not survive.
void UseBinaryMode([[maybe_unused]] std::FILE* stream) {
#ifdef _WIN32
  _setmode(_fileno(stream), _O_BINARY);
#endif
}

// Appends everything left in `stream` to `bytes`; returns false on a read error.
bool ReadRest(std::FILE* stream, std::string& bytes) {
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  for (;;) {
    const std::size_t used = bytes.size();
    bytes.resize(used + kChunk);
    const std::size_t got = std::fread(bytes.data() + used, 1, kChunk, stream);
    bytes.resize(used + got);
    if (got < kChunk) {
      return std::ferror(stream) == 0;
    }
  }
}

// Returns a name in the directory of `target` that no file has yet, opened for writing.
std::pair<fs::path, File> CreateUniqueFile(const fs::path& target) {
  std::random_device entropy;
  std::mt19937_64 pick(entropy());
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = target;
    candidate += ".tmp" + std::to_string(pick() % 1'000'000'000U);
    // "x" refuses a name that exists, so another process's file is never taken over.
    if (File file{std::fopen(candidate.string().c_str(), "wbx")}) {
      return {candidate, std::move(file)};
    }
    if (errno != EEXIST) {
      break;
    }
  }
  throw ToolError(target.string() + ": cannot create a file next to it: " + std::strerror(errno));
}

} // namespace

bool IsStandardStream(std::string_view path) noexcept {
  return path.empty() || path == "-";
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  if (IsStandardStream(path)) {
    UseBinaryMode(stdin);
    if (!ReadRest(stdin, bytes)) {
      throw ToolError("standard input: read error: " + std::string(std::strerror(errno)));
    }
    return bytes;
  }
  const File file{std::fopen(path.c_str(), "rb")};
  if (!file) {
    throw ToolError(path + ": " + std::strerror(errno));
  }
  // One read of the whole file where its size is known; ReadRest picks up anything beyond.
  std::error_code ignored;
  const auto size = fs::file_size(path, ignored);
  if (!ignored && size > 0) {
    bytes.resize(static_cast<std::size_t>(size));
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  }
  if (!ReadRest(file.get(), bytes)) {
    throw ToolError(path + ": read error: " + std::strerror(errno));
  }
  return bytes;
}

std::u16string DecodeText(std::string_view bytes, Encoding encoding, std::string_view source) {
  std::u16string text(bytes.size(), u'\0');
  if (encoding == Encoding::Windows1252) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      text[i] = Windows1252Char(static_cast<std::uint8_t>(bytes[i]));
    }
    return text;
  }
  const char* const invalid = utf8::find_invalid(bytes.data(), bytes.data() + bytes.size());
  if (invalid != bytes.data() + bytes.size()) {
    throw ToolError(Describe(source) + ": not valid UTF-8 at byte offset " +
                    std::to_string(invalid - bytes.data()) +
                    " (use --encoding windows-1252 for files in that code page)");
  }
  // Validated above, so the conversion needs no second check. UTF-8 never takes fewer bytes than
  // UTF-16 takes code units, so the buffer is large enough.
  const char16_t* const end =
      utf8::unchecked::utf8to16(bytes.data(), bytes.data() + bytes.size(), text.data());
  text.resize(static_cast<std::size_t>(end - text.data()));
  return text;
}

std::string EncodeText(std::u16string_view text, Encoding encoding) {
  std::string bytes;
  if (encoding == Encoding::Windows1252) {
    bytes.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      bytes[i] = static_cast<char>(Windows1252Code(text[i]));
    }
    return bytes;
  }
  bytes.reserve(text.size());
  try {
    utf8::utf16to8(text.begin(), text.end(), std::back_inserter(bytes));
  } catch (const utf8::exception&) {
    throw ToolError("the text holds an unpaired surrogate, which UTF-8 cannot code");
  }
  return bytes;
}

void WriteAll(const std::string& path, std::string_view bytes) {
  if (IsStandardStream(path)) {
    UseBinaryMode(stdout);
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0) {
      throw ToolError("standard output: write error: " + std::string(std::strerror(errno)));
    }
    return;
  }
  std::error_code error;
  fs::path target = path;
  if (fs::is_symlink(target, error)) {
    target = fs::canonical(target, error);
    if (error) {
      throw ToolError(path + ": " + error.message());
    }
  }
  auto [temporary, file] = CreateUniqueFile(target);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  const bool closed = std::fclose(file.release()) == 0;
  const int writeErrno = errno;
  if (written && closed) {
    const auto status = fs::status(target, error);
    if (!error && fs::exists(status)) {
      fs::permissions(temporary, status.permissions(), error);
    }
    error.clear();
    fs::rename(temporary, target, error);
    if (!error) {
      return;
    }
  }
  std::error_code ignored;
  fs::remove(temporary, ignored);
  throw ToolError(path + ": write error: " +
                  (error ? error.message() : std::string(std::strerror(writeErrno))));
}

} // namespace quillmere::cli
