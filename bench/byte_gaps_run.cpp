// hide and reveal on files with the byte-level gap engine, reading and writing in pieces of 256
// KiB, for bench/cli_bench.sh: the figures quillmere-text reaches once it works this way. Only what
// the time and memory depend on is here; none of the tool's care for its output file.
//   byte_gaps_run hide MESSAGE_FILE COVER OUTPUT [windows-1252]
//   byte_gaps_run reveal STEGO [windows-1252]
// hide to a file checks and hides each piece as it is read, and removes the file when the cover
// turns out bad or too small; to standard output ("-") it reads the cover twice, first to check it
// and count its gaps, then to hide and write.
#include "codec/byte_gaps.hpp"
#include "codec/utf8_bytes.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using quillmere::TextEncoding;

constexpr std::size_t kPieceBytes = 256 * 1024;

[[noreturn]] void Fail(const std::string& message) {
  throw std::runtime_error(message);
}

std::FILE* Open(const std::string& path, const char* mode) {
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr) {
    Fail(path + ": " + std::strerror(errno));
  }
  return file;
}

// Calls work(piece) for consecutive pieces of the open `file`.
template <typename Work>
void ForEachPiece(std::FILE* file, char* buffer, Work work) {
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, kPieceBytes, file);
    if (got > 0) {
      work(std::string_view(buffer, got));
    }
    if (got < kPieceBytes) {
      if (std::ferror(file) != 0) {
        Fail("read error");
      }
      return;
    }
  }
}

void Write(std::FILE* file, std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    Fail("write error");
  }
}

int Hide(const std::string& messagePath, const std::string& coverPath,
         const std::string& outputPath, TextEncoding encoding) {
  // Buffers left uninitialised: filling them with zeros would cost a pass over memory.
  const auto in = std::make_unique_for_overwrite<char[]>(kPieceBytes);
  std::string message;
  std::FILE* const messageFile = Open(messagePath, "rb");
  ForEachPiece(messageFile, in.get(), [&](std::string_view piece) { message += piece; });
  std::fclose(messageFile);
  if (encoding == TextEncoding::Utf8) {
    quillmere::MessageCodes codes = quillmere::MessageCodesFromUtf8(message);
    if (codes.invalidOffset != quillmere::kNoOffset) {
      Fail(messagePath + ": not valid UTF-8 at byte offset " + std::to_string(codes.invalidOffset));
    }
    message = std::move(codes.codes);
  }

  std::FILE* const cover = Open(coverPath, "rb");
  quillmere::TextScanner scanner(encoding);
  quillmere::GapHider hider(encoding, message);
  const auto check = [&](bool valid) {
    if (!valid) {
      Fail(coverPath + ": not valid UTF-8 at byte offset " +
           std::to_string(scanner.InvalidOffset()));
    }
  };
  const auto checkFits = [&] {
    if (scanner.Gaps() < hider.BitsNeeded()) {
      Fail("the message needs " + std::to_string(hider.BitsNeeded()) +
           " gaps, but the cover has only " + std::to_string(scanner.Gaps()));
    }
  };
  const auto out =
      std::make_unique_for_overwrite<char[]>(quillmere::GapHider::OutputRoom(kPieceBytes));
  if (outputPath == "-") {
    // Standard output cannot take back what was written: the cover is checked first.
    ForEachPiece(cover, in.get(), [&](std::string_view piece) { check(scanner.Scan(piece)); });
    check(scanner.Finish());
    checkFits();
    std::rewind(cover);
    ForEachPiece(cover, in.get(),
                 [&](std::string_view piece) { Write(stdout, hider.Hide(piece, out.get())); });
  } else {
    // A file is written as the cover is read, and removed when the cover turns out bad.
    struct Output {
      const std::string& path;
      std::FILE* file;
      ~Output() {
        if (file != nullptr) {
          std::fclose(file);
          std::remove(path.c_str());
        }
      }
    } output{outputPath, Open(outputPath, "wb")};
    ForEachPiece(cover, in.get(), [&](std::string_view piece) {
      check(scanner.Scan(piece));
      Write(output.file, hider.Hide(piece, out.get()));
    });
    check(scanner.Finish());
    checkFits();
    Write(output.file, hider.Finish());
    if (std::fclose(std::exchange(output.file, nullptr)) != 0) {
      Fail("write error");
    }
  }
  std::fclose(cover);
  Write(stdout, outputPath == "-" ? hider.Finish() : std::string_view());
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Reveal(const std::string& stegoPath, TextEncoding encoding) {
  const auto in = std::make_unique_for_overwrite<char[]>(kPieceBytes);
  std::FILE* const stego = Open(stegoPath, "rb");
  quillmere::TextScanner scanner(encoding);
  quillmere::MessageReader reader(encoding);
  ForEachPiece(stego, in.get(), [&](std::string_view piece) {
    if (!scanner.Scan(piece)) {
      Fail(stegoPath + ": not valid UTF-8 at byte offset " +
           std::to_string(scanner.InvalidOffset()));
    }
    reader.Read(piece);
  });
  std::fclose(stego);
  if (!scanner.Finish()) {
    Fail(stegoPath + ": not valid UTF-8 at byte offset " + std::to_string(scanner.InvalidOffset()));
  }
  reader.Finish();
  std::string message;
  if (encoding == TextEncoding::Utf8) {
    quillmere::AppendCodesAsUtf8(reader.Codes(), message);
  } else {
    message = reader.Codes();
  }
  Write(stdout, message);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto encodingAt = [&args](std::size_t i) {
    return args.size() > i && args[i] == "windows-1252" ? TextEncoding::Windows1252
                                                        : TextEncoding::Utf8;
  };
  try {
    if (args.size() >= 4 && args[0] == "hide") {
      return Hide(args[1], args[2], args[3], encodingAt(4));
    }
    if (args.size() >= 2 && args[0] == "reveal") {
      return Reveal(args[1], encodingAt(2));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "byte_gaps_run: %s\n", error.what());
    return 1;
  }
  std::fprintf(stderr,
               "usage: byte_gaps_run hide MESSAGE_FILE COVER OUTPUT [windows-1252]\n"
               "       byte_gaps_run reveal STEGO [windows-1252]\n");
  return 2;
}
