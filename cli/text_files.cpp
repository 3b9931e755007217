// SPDX-License-Identifier: MIT
#include "text_files.hpp"

#include "codec/windows1252.hpp"
#include "os_files.hpp"

#include <utf8.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <random>
#include <system_error>
#include <tuple>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLMERE_HAVE_SSE2 1
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

std::string ErrnoText() {
  return std::strerror(errno);
}

// Standard input and output must not translate line ends, or CR LF would not survive.
void UseBinaryMode([[maybe_unused]] std::FILE* stream) {
#ifdef _WIN32
  _setmode(_fileno(stream), _O_BINARY);
#endif
}

// Appends everything left in `stream` to `bytes`; returns false on a read error.
bool ReadRest(std::FILE* stream, std::string& bytes) {
  std::array<char, std::size_t{1} << 16> chunk;
  for (;;) {
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), stream);
    bytes.append(chunk.data(), got);
    if (got < chunk.size()) {
      return std::ferror(stream) == 0;
    }
  }
}

bool IsAscii(char byte) {
  return static_cast<unsigned char>(byte) < 0x80;
}

// Returns the length of the sequence that `lead` announces: 2 to 4 for the bytes that can start
// a character of several bytes, 1 for any other byte.
std::size_t AnnouncedLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) {
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return 3;
  }
  return lead >= 0xF0 && lead <= 0xF4 ? 4 : 1;
}

// Returns where the next piece of UTF-8 `bytes` ends: at kPieceLength bytes (UTF-8 never takes
// fewer bytes than UTF-16 takes code units), or before a character that starts in the last three
// bytes of that and announces more bytes than are left. A cut anywhere else would split a bad
// sequence differently from the whole text and so report a byte other than the first bad one.
std::size_t Utf8PieceEnd(std::string_view bytes) {
  if (bytes.size() <= kPieceLength) {
    return bytes.size();
  }
  const std::size_t end = kPieceLength;
  for (std::size_t start = end - 1; start >= end - 3; --start) {
    const auto byte = static_cast<unsigned char>(bytes[start]);
    if ((byte & 0xC0U) != 0x80U) {
      return start + AnnouncedLength(byte) > end ? start : end;
    }
  }
  return end;
}

// Decodes the UTF-8 `bytes` into `out`, which has room for bytes.size() code units, and returns
// the end of what it wrote. ASCII is copied as it is; every run of other bytes is validated and
// converted by utfcpp. `base` is the offset of `bytes` in the whole input, for the error message.
char16_t* DecodeUtf8(std::string_view bytes, char16_t* out, std::size_t base,
                     std::string_view source, ByteSource from) {
  const char* it = bytes.data();
  const char* const end = it + bytes.size();
  while (it != end) {
    // Prose is mostly ASCII: blocks of 16 ASCII bytes are widened without a test per byte.
    while (end - it >= 16) {
#if QUILLMERE_HAVE_SSE2
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(it));
      if (_mm_movemask_epi8(block) != 0) {
        break;
      }
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(block, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(block, zero));
#else
      std::uint64_t low = 0;
      std::uint64_t high = 0;
      std::memcpy(&low, it, 8);
      std::memcpy(&high, it + 8, 8);
      if (((low | high) & 0x8080808080808080U) != 0) {
        break;
      }
      for (int k = 0; k < 16; ++k) {
        out[k] = static_cast<char16_t>(it[k]);
      }
#endif
      it += 16;
      out += 16;
    }
    while (it != end && IsAscii(*it)) {
      *out++ = static_cast<char16_t>(*it++);
    }
    const char* const runEnd = std::find_if(it, end, IsAscii);
    const char* const invalid = utf8::find_invalid(it, runEnd);
    if (invalid != runEnd) {
      const std::size_t offset = base + static_cast<std::size_t>(invalid - bytes.data());
      throw ToolError(
          Describe(source) + ": not valid UTF-8 at byte offset " + std::to_string(offset) +
          (from == ByteSource::File ? " (use --encoding windows-1252 for files in that code page)"
                                    : ""));
    }
    out = utf8::unchecked::utf8to16(it, runEnd, out);
    it = runEnd;
  }
  return out;
}

const std::array<char16_t, 256>& Windows1252Table() {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> chars{};
    for (std::size_t code = 0; code < chars.size(); ++code) {
      chars[code] = Windows1252Char(static_cast<std::uint8_t>(code));
    }
    return chars;
  }();
  return table;
}

// Creates a new file in the directory of `target` under a short random name, which fits wherever
// the target's own name does, and returns its name and descriptor.
std::pair<std::string, int> CreateTemporaryNextTo(const fs::path& target) {
  constexpr std::string_view kLetters = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::random_device entropy;
  std::mt19937_64 pick(entropy());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ".quillmere-";
    for (int i = 0; i < 8; ++i) {
      name += kLetters[pick() % kLetters.size()];
    }
    std::string candidate = os::Utf8FromPath(target.parent_path() / name);
    // A name that exists is refused, so another process's file is never taken over.
    const int descriptor = os::CreateTemporary(candidate);
    if (descriptor >= 0) {
      return {std::move(candidate), descriptor};
    }
    if (errno != EEXIST) {
      break;
    }
  }
  throw ToolError(os::Utf8FromPath(target) + ": cannot create a file next to it: " + ErrnoText());
}

} // namespace

bool IsStandardStream(std::string_view path) noexcept {
  return path.empty() || path == "-";
}

InputBytes::InputBytes(const std::string& path) {
  if (IsStandardStream(path)) {
    UseBinaryMode(stdin);
    if (!ReadRest(stdin, bytes_)) {
      throw ToolError("standard input: read error: " + ErrnoText());
    }
    return;
  }
  const File file{os::OpenForReading(path)};
  if (!file) {
    throw ToolError(path + ": " + ErrnoText());
  }
  // One read of the whole file where its size is known; ReadRest picks up whatever grew since.
  std::error_code ignored;
  const fs::path name = os::PathFromUtf8(path);
  const auto size = fs::is_regular_file(name, ignored) ? fs::file_size(name, ignored) : 0;
  if (!ignored && size > 0) {
    bytes_.resize(static_cast<std::size_t>(size));
    bytes_.resize(std::fread(bytes_.data(), 1, bytes_.size(), file.get()));
  }
  if (!ReadRest(file.get(), bytes_)) {
    throw ToolError(path + ": read error: " + ErrnoText());
  }
}

void DecodeInPieces(std::string_view bytes, Encoding encoding, std::string_view source,
                    const PieceVisitor& visit, ByteSource from) {
  std::u16string buffer(std::min(bytes.size(), kPieceLength), u'\0');
  std::size_t base = 0;
  while (base < bytes.size()) {
    const std::string_view rest = bytes.substr(base);
    std::size_t used = 0;
    std::span<char16_t> piece;
    if (encoding == Encoding::Windows1252) {
      used = std::min(rest.size(), kPieceLength);
      const auto& table = Windows1252Table();
      for (std::size_t i = 0; i < used; ++i) {
        buffer[i] = table[static_cast<unsigned char>(rest[i])];
      }
      piece = {buffer.data(), used};
    } else {
      used = Utf8PieceEnd(rest);
      const char16_t* const end =
          DecodeUtf8(rest.substr(0, used), buffer.data(), base, source, from);
      piece = {buffer.data(), static_cast<std::size_t>(end - buffer.data())};
    }
    visit(piece);
    base += used;
  }
}

std::u16string DecodeText(std::string_view bytes, Encoding encoding, std::string_view source,
                          ByteSource from) {
  std::u16string text;
  DecodeInPieces(
      bytes, encoding, source,
      [&text](std::span<char16_t> piece) { text.append(piece.begin(), piece.end()); }, from);
  return text;
}

bool LooksLikeUtf8(std::string_view bytes) noexcept {
  return !std::all_of(bytes.begin(), bytes.end(), IsAscii) &&
         utf8::find_invalid(bytes.begin(), bytes.end()) == bytes.end();
}

void AppendEncoded(std::u16string_view text, Encoding encoding, std::string& bytes) {
  if (encoding == Encoding::Windows1252) {
    const std::size_t start = bytes.size();
    bytes.resize(start + text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char16_t ch = text[i];
      // Latin-1 characters other than the C1 controls keep their number as their code.
      const bool same = ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF);
      bytes[start + i] = static_cast<char>(same ? ch : Windows1252Code(ch));
    }
    return;
  }
  // A code unit takes at most three bytes; the room not used is given back at the end.
  const std::size_t start = bytes.size();
  bytes.resize(start + 3 * text.size());
  char* out = bytes.data() + start;
  auto it = text.begin();
  while (it != text.end()) {
#if QUILLMERE_HAVE_SSE2
    // Blocks of 16 ASCII code units are narrowed at once.
    while (text.end() - it >= 16) {
      const auto* const units = reinterpret_cast<const __m128i*>(&*it);
      const __m128i low = _mm_loadu_si128(units);
      const __m128i high = _mm_loadu_si128(units + 1);
      const __m128i above = _mm_and_si128(_mm_or_si128(low, high), _mm_set1_epi16(-0x80));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(above, _mm_setzero_si128())) != 0xFFFF) {
        break;
      }
      const __m128i packed = _mm_packus_epi16(low, high);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), packed);
      it += 16;
      out += 16;
    }
#endif
    for (; it != text.end() && *it < 0x80; ++it) {
      *out++ = static_cast<char>(*it);
    }
    const auto runEnd = std::find_if(it, text.end(), [](char16_t ch) { return ch < 0x80; });
    try {
      out = utf8::utf16to8(it, runEnd, out);
    } catch (const utf8::exception&) {
      throw ToolError("the text holds an unpaired surrogate, which UTF-8 cannot code");
    }
    it = runEnd;
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
}

std::string EncodeText(std::u16string_view text, Encoding encoding) {
  std::string bytes;
  bytes.reserve(text.size());
  AppendEncoded(text, encoding, bytes);
  return bytes;
}

AtomicOutput::AtomicOutput(const std::string& path) : name_(path) {
  if (IsStandardStream(path)) {
    UseBinaryMode(stdout);
    name_ = "standard output";
    descriptor_ = 1;
    return;
  }
  if (const auto own = os::OwnDescriptorName(path)) {
    if (!os::IsOpen(*own)) {
      throw ToolError(path + ": " + std::strerror(EBADF));
    }
    descriptor_ = *own;
    return;
  }
  if (const auto stream = os::OpenUnlessRegularFile(path)) {
    descriptor_ = *stream;
    if (descriptor_ < 0) {
      throw ToolError(path + ": " + ErrnoText());
    }
    ownsDescriptor_ = true;
    return;
  }
  std::error_code error;
  fs::path target = os::PathFromUtf8(path);
  if (fs::is_symlink(target, error)) {
    target = fs::canonical(target, error);
    if (error) {
      throw ToolError(path + ": " + error.message());
    }
  }
  target_ = os::Utf8FromPath(target);
  std::tie(temporary_, descriptor_) = CreateTemporaryNextTo(target);
  ownsDescriptor_ = true;
}

AtomicOutput::~AtomicOutput() {
  if (ownsDescriptor_) {
    os::Close(descriptor_);
  }
  if (!temporary_.empty()) {
    os::RemoveTemporary(temporary_);
  }
}

void AtomicOutput::Fail(std::string_view what) const {
  throw ToolError(name_ + ": " + std::string(what) + ErrnoText());
}

void AtomicOutput::Write(std::string_view bytes) {
  if (!os::WriteFully(descriptor_, bytes)) {
    Fail("write error: ");
  }
}

void AtomicOutput::Commit() {
  if (!temporary_.empty()) {
    if (!os::SyncFile(descriptor_)) {
      Fail("write error: ");
    }
    if (!os::TakePermissionsFor(descriptor_, target_)) {
      Fail("cannot set the permissions: ");
    }
  }
  if (ownsDescriptor_) {
    ownsDescriptor_ = false;
    if (!os::Close(descriptor_)) {
      Fail("write error: ");
    }
  }
  if (temporary_.empty()) {
    return;
  }
  if (!os::ReplaceWithTemporary(temporary_, target_)) {
    Fail("");
  }
  temporary_.clear();
  // Once the directory holds the rename, a crash leaves the new text, never an empty file.
  os::SyncDirectoryOf(target_);
}

void WriteAll(const std::string& path, std::string_view bytes) {
  AtomicOutput output(path);
  output.Write(bytes);
  output.Commit();
}

} // namespace quillmere::cli
