// SPDX-License-Identifier: MIT
// Runs the fuzz target once on each file named on the command line, so that a corpus can be
// replayed by any compiler, without libFuzzer.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    if (!file) {
      std::cerr << "cannot read " << argv[i] << '\n';
      return 1;
    }
    const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(file), {}};
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::cout << "replayed " << (argc - 1) << " inputs\n";
  return 0;
}
