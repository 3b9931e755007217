// SPDX-License-Identifier: MIT
// Throughput of EmbedBits and ExtractBits next to a memcpy of the same cover, on
// German-prose-like covers of 1 MB and 64 MB (about one gap in six characters). Prints MB/s per run
// and, at the end, each codec function's rate as a share of memcpy's on the same cover size.
// EmbedBits returns a new text, so on the 64 MB cover it also pays for faulting in fresh memory,
// which a memcpy into an existing buffer does not; EmbedBitsReusedBuffer shows the same work
// without that.
#include "codec/gap_carriers.hpp"
#include "rate_recorder.hpp"

#include <benchmark/benchmark.h>

#include <cstring>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMiB = 1024 * 1024;

// Returns a cover of `bytes` bytes (bytes / 2 UTF-16 characters) made of German words, spaces,
// punctuation and CR LF paragraph breaks.
const std::u16string& Cover(std::size_t bytes) {
  static std::map<std::size_t, std::u16string> covers;
  std::u16string& cover = covers[bytes];
  if (cover.empty()) {
    const std::u16string_view words[] = {u"Das",    u"war",   u"heute", u"ein",     u"ganz",
                                         u"Tag.",   u"Ende",  u"läuft", u"Problem", u"dafür",
                                         u"Ruder,", u"schön", u"aber",  u"wieder",  u"alles"};
    std::mt19937 random(7);
    while (cover.size() < bytes / 2) {
      cover += words[random() % std::size(words)];
      cover += random() % 40 == 0 ? u" \r\n" : u" ";
    }
    cover.resize(bytes / 2);
  }
  return cover;
}

std::u16string RandomBits(std::size_t count) {
  std::mt19937 random(11);
  std::u16string bits(count, u'0');
  for (char16_t& bit : bits) {
    bit = random() % 2 != 0 ? u'1' : u'0';
  }
  return bits;
}

void Memcpy(benchmark::State& state) {
  const std::u16string& cover = Cover(static_cast<std::size_t>(state.range(0)));
  std::u16string target(cover.size(), u'\0');
  for (auto _ : state) {
    std::memcpy(target.data(), cover.data(), cover.size() * sizeof(char16_t));
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void EmbedBits(benchmark::State& state) {
  const std::u16string& cover = Cover(static_cast<std::size_t>(state.range(0)));
  const std::u16string bits = RandomBits(quillmere::Capacity(cover));
  for (auto _ : state) {
    std::u16string stego = quillmere::EmbedBits(cover, bits);
    benchmark::DoNotOptimize(stego.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The same work into a buffer the caller keeps: the cover is copied in, then embedded in place.
void EmbedBitsReusedBuffer(benchmark::State& state) {
  const std::u16string& cover = Cover(static_cast<std::size_t>(state.range(0)));
  const std::u16string bits = RandomBits(quillmere::Capacity(cover));
  std::u16string stego(cover.size(), u'\0');
  for (auto _ : state) {
    std::memcpy(stego.data(), cover.data(), cover.size() * sizeof(char16_t));
    quillmere::EmbedBitsInPlace(stego, bits);
    benchmark::DoNotOptimize(stego.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void ExtractBits(benchmark::State& state) {
  const std::u16string stego = quillmere::EmbedBits(
      Cover(static_cast<std::size_t>(state.range(0))),
      RandomBits(quillmere::Capacity(Cover(static_cast<std::size_t>(state.range(0))))));
  for (auto _ : state) {
    quillmere::BitString bits = quillmere::ExtractBits(stego);
    benchmark::DoNotOptimize(bits.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(Memcpy)->Arg(1 * kMiB)->Arg(64 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(EmbedBits)->Arg(1 * kMiB)->Arg(64 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(EmbedBitsReusedBuffer)->Arg(1 * kMiB)->Arg(64 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(ExtractBits)->Arg(1 * kMiB)->Arg(64 * kMiB)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RateRecorder reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* size : {"1048576", "67108864"}) {
    const double memcpyRate = reporter.Rate("Memcpy/" + std::string(size));
    for (const char* function : {"EmbedBits", "EmbedBitsReusedBuffer", "ExtractBits"}) {
      const double rate = reporter.Rate(std::string(function) + "/" + size);
      if (memcpyRate > 0 && rate > 0) {
        std::cout << function << " on " << std::stoul(size) / kMiB << " MB: " << rate / 1e6
                  << " MB/s, memcpy " << memcpyRate / 1e6 << " MB/s, ratio " << rate / memcpyRate
                  << '\n';
      }
    }
  }
  benchmark::Shutdown();
}
