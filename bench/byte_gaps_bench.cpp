// SPDX-License-Identifier: MIT
// Throughput of the byte-level gap engine on a 10 MiB cover of German prose (the fortunes-de texts
// where installed, else generated words), fed in pieces of 256 KiB as a file would be read, next to
// a memcpy of the same pieces into one buffer (Memcpy) and of the whole cover into another
// (MemcpyWhole). Hiding writes into one reused output buffer. Prints GB/s per run and, at the end,
// each rate as a share of Memcpy's.
#include "codec/byte_gaps.hpp"
#include "codec/utf8_bytes.hpp"
#include "rate_recorder.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using quillmere::TextEncoding;

constexpr std::size_t kCoverBytes = 10 * 1024 * 1024;
constexpr std::size_t kPieceBytes = 256 * 1024;
constexpr std::size_t kMessageBytes = 10 * 1024;

std::string Prose() {
  std::string prose;
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator("/usr/share/games/fortunes/de", error)) {
    if (entry.path().extension() == ".u8") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    prose += content.str();
  }
  if (prose.empty()) {
    const char* const words[] = {"Das",  "war",    "heute", "ein",    "ganz",   "Tag.",
                                 "Ende", "läuft",  "Größe", "dafür",  "Ruder,", "schön",
                                 "aber", "wieder", "alles", "Straße", "über"};
    std::mt19937 random(7);
    while (prose.size() < (1U << 20)) {
      prose += words[random() % std::size(words)];
      prose += random() % 12 == 0 ? "\n" : " ";
    }
  }
  return prose;
}

// The 10 MiB UTF-8 cover, cut before a character that would not fit whole.
const std::string& Utf8Cover() {
  static const std::string cover = [] {
    const std::string prose = Prose();
    std::string text;
    while (text.size() < kCoverBytes) {
      text += prose;
    }
    std::size_t end = kCoverBytes;
    while ((static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80U) {
      --end;
    }
    text.resize(end);
    return text;
  }();
  return cover;
}

// The same prose in Windows-1252: the codes of its characters.
const std::string& Windows1252Cover() {
  static const std::string cover = quillmere::MessageCodesFromUtf8(Utf8Cover()).codes;
  return cover;
}

const std::string& Cover(TextEncoding encoding) {
  return encoding == TextEncoding::Utf8 ? Utf8Cover() : Windows1252Cover();
}

// A message of 10 KiB, or one with a bit for every gap of the cover.
std::string Message(bool fillCover) {
  quillmere::TextScanner scanner(TextEncoding::Utf8);
  scanner.Scan(Utf8Cover());
  const std::size_t length = fillCover ? scanner.Gaps() / 8 : kMessageBytes;
  std::string codes = Windows1252Cover().substr(1000, length);
  std::replace(codes.begin(), codes.end(), '\0', '.');
  return codes;
}

template <typename Work>
void InPieces(const std::string& cover, Work work) {
  for (std::size_t start = 0; start < cover.size(); start += kPieceBytes) {
    work(std::string_view(cover).substr(start, kPieceBytes));
  }
}

void Finish(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void Memcpy(benchmark::State& state) {
  const std::string& cover = Utf8Cover();
  std::vector<char> buffer(kPieceBytes);
  for (auto _ : state) {
    InPieces(cover, [&](std::string_view piece) {
      std::memcpy(buffer.data(), piece.data(), piece.size());
      benchmark::DoNotOptimize(buffer.data());
      benchmark::ClobberMemory();
    });
  }
  Finish(state, cover.size());
}

// The whole cover into a buffer of its size, which the pieces of the engine's runs stay clear of.
void MemcpyWhole(benchmark::State& state) {
  const std::string& cover = Utf8Cover();
  std::vector<char> buffer(cover.size());
  for (auto _ : state) {
    std::memcpy(buffer.data(), cover.data(), cover.size());
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  Finish(state, cover.size());
}

// What hide does before it writes anything, and capacity all it does: check the cover and count
// its gaps. Checking is all reveal does after the message's last bit.
void Scan(benchmark::State& state) {
  const auto encoding = static_cast<TextEncoding>(state.range(0));
  const std::string& cover = Cover(encoding);
  for (auto _ : state) {
    quillmere::TextScanner scanner(encoding);
    InPieces(cover, [&](std::string_view piece) { scanner.Scan(piece); });
    benchmark::DoNotOptimize(scanner.Finish());
    benchmark::DoNotOptimize(scanner.Gaps());
  }
  Finish(state, cover.size());
}

// Hides a 10 KiB message (range(1) 0) or a message for every gap (1).
void Hide(benchmark::State& state) {
  const auto encoding = static_cast<TextEncoding>(state.range(0));
  const std::string& cover = Cover(encoding);
  const std::string message = Message(state.range(1) != 0);
  std::vector<char> out(quillmere::GapHider::OutputRoom(kPieceBytes));
  for (auto _ : state) {
    quillmere::GapHider hider(encoding, message);
    InPieces(cover, [&](std::string_view piece) {
      benchmark::DoNotOptimize(hider.Hide(piece, out.data()).data());
      benchmark::ClobberMemory();
    });
    benchmark::DoNotOptimize(hider.Finish().data());
  }
  Finish(state, cover.size());
}

// What reveal does: check the whole text and read the message from its gaps.
void Reveal(benchmark::State& state) {
  const auto encoding = static_cast<TextEncoding>(state.range(0));
  const std::string message = Message(false);
  std::string stego;
  quillmere::GapHider hider(encoding, message);
  std::vector<char> out(quillmere::GapHider::OutputRoom(kPieceBytes));
  InPieces(Cover(encoding),
           [&](std::string_view piece) { stego += hider.Hide(piece, out.data()); });
  stego += hider.Finish();
  for (auto _ : state) {
    quillmere::TextScanner scanner(encoding);
    quillmere::MessageReader reader(encoding);
    InPieces(stego, [&](std::string_view piece) {
      scanner.Scan(piece);
      reader.Read(piece);
    });
    reader.Finish();
    if (reader.Codes() != message) {
      state.SkipWithError("the message did not come back");
    }
  }
  Finish(state, stego.size());
}

constexpr auto kUtf8 = static_cast<std::int64_t>(TextEncoding::Utf8);
constexpr auto kWindows1252 = static_cast<std::int64_t>(TextEncoding::Windows1252);

BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(Scan)->Arg(kUtf8)->Arg(kWindows1252)->Unit(benchmark::kMillisecond);
BENCHMARK(Hide)
    ->Args({kUtf8, 0})
    ->Args({kUtf8, 1})
    ->Args({kWindows1252, 0})
    ->Args({kWindows1252, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Reveal)->Arg(kUtf8)->Arg(kWindows1252)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RateRecorder reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::cout << "cover " << Utf8Cover().size() << " bytes UTF-8, " << Windows1252Cover().size()
            << " bytes Windows-1252; pieces of " << kPieceBytes << " bytes\n"
            << "(Args: 0 UTF-8, 1 Windows-1252; Hide's second: 0 a 10 KiB message, 1 a bit for "
               "every gap)\n";
  const double memcpyRate = reporter.Rate("Memcpy");
  for (const auto& [name, rate] : reporter.rates) {
    std::cout << name << ": " << rate / 1e9 << " GB/s";
    if (memcpyRate > 0) {
      std::cout << ", " << rate / memcpyRate << " of memcpy";
    }
    std::cout << '\n';
  }
  benchmark::Shutdown();
}
