// SPDX-License-Identifier: MIT
// Reads resources/quillmere.ico byte by byte and compares it with resources/quillmere.xpm, the
// icon the window shows: same pixels, and transparent (AND mask bit set) exactly outside the disc.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;

struct Rgb {
  int red, green, blue;
  bool operator==(const Rgb&) const = default;
};
using Pixels = std::vector<std::vector<std::optional<Rgb>>>; // rows from the top; none: transparent

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

std::uint32_t Le(const std::string& bytes, std::size_t at, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) {
    value = value << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
  }
  return value;
}

// The XPM's quoted strings: size line, colour lines ("+ c #FF0000", "  c None"), pixel rows.
Pixels ReadXpm(const std::string& text) {
  std::vector<std::string> strings;
  for (std::size_t open = text.find('"'); open != std::string::npos;) {
    const std::size_t close = text.find('"', open + 1);
    strings.push_back(text.substr(open + 1, close - open - 1));
    open = text.find('"', close + 1);
  }
  int width = 0, height = 0, colours = 0, perPixel = 0;
  std::istringstream(strings.at(0)) >> width >> height >> colours >> perPixel;
  std::map<std::string, std::optional<Rgb>> table;
  for (int i = 1; i <= colours; ++i) {
    const std::string& line = strings.at(static_cast<std::size_t>(i));
    const std::string value = line.substr(line.find(" c ") + 3);
    table[line.substr(0, static_cast<std::size_t>(perPixel))] =
        value.starts_with("None")
            ? std::nullopt
            : std::optional<Rgb>(Rgb{std::stoi(value.substr(1, 2), nullptr, 16),
                                     std::stoi(value.substr(3, 2), nullptr, 16),
                                     std::stoi(value.substr(5, 2), nullptr, 16)});
  }
  Pixels pixels;
  for (int y = 0; y < height; ++y) {
    const std::string& row = strings.at(static_cast<std::size_t>(1 + colours + y));
    auto& out = pixels.emplace_back();
    for (int x = 0; x < width; ++x) {
      out.push_back(table.at(
          row.substr(static_cast<std::size_t>(x * perPixel), static_cast<std::size_t>(perPixel))));
    }
  }
  return pixels;
}

class IconFile : public testing::Test {
protected:
  std::string ico = ReadFile(QUILLMERE_RESOURCES "/quillmere.ico");
  Pixels xpm = ReadXpm(ReadFile(QUILLMERE_RESOURCES "/quillmere.xpm"));

  std::size_t image() const { return Le(ico, 6 + 12, 4); }
  // The AND mask bit of pixel (x, y), y counted from the top: 1 is transparent.
  int maskBit(int x, int y) const {
    const std::size_t mask = image() + 40 + 16 * 4 + kSize * kSize / 2;
    const auto byte = static_cast<unsigned char>(
        ico.at(mask + static_cast<std::size_t>((kSize - 1 - y) * kSize / 8 + x / 8)));
    return byte >> (7 - x % 8) & 1;
  }
  Rgb colour(int x, int y) const {
    const std::size_t bits = image() + 40 + 16 * 4;
    const auto byte = static_cast<unsigned char>(
        ico.at(bits + static_cast<std::size_t>((kSize - 1 - y) * kSize / 2 + x / 2)));
    const std::size_t entry =
        image() + 40 + 4 * static_cast<std::size_t>(x % 2 ? byte & 15 : byte >> 4);
    return {static_cast<int>(Le(ico, entry + 2, 1)), static_cast<int>(Le(ico, entry + 1, 1)),
            static_cast<int>(Le(ico, entry, 1))};
  }
};

TEST_F(IconFile, HoldsOne32By32ImageIn16Colours) {
  ASSERT_EQ(xpm.size(), 32u);
  EXPECT_EQ(Le(ico, 2, 2), 1u); // an icon
  EXPECT_EQ(Le(ico, 4, 2), 1u); // one image
  EXPECT_EQ(Le(ico, 6, 1), 32u);
  EXPECT_EQ(Le(ico, 7, 1), 32u);
  EXPECT_EQ(Le(ico, 8, 1), 16u);
  const std::size_t header = image();
  EXPECT_EQ(Le(ico, 6 + 8, 4), ico.size() - header);
  EXPECT_EQ(Le(ico, header, 4), 40u);
  EXPECT_EQ(Le(ico, header + 4, 4), 32u);
  EXPECT_EQ(Le(ico, header + 8, 4), 64u); // colour bitmap and AND mask
  EXPECT_EQ(Le(ico, header + 14, 2), 4u); // bits a pixel
  EXPECT_EQ(Le(ico, header + 16, 4), 0u); // uncompressed
  EXPECT_EQ(ico.size(), header + 40 + 16 * 4 + kSize * kSize / 2 + kSize * kSize / 8);
}

TEST_F(IconFile, IsTransparentExactlyWhereTheWindowIconIs) {
  ASSERT_EQ(xpm.size(), 32u);
  int transparent = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const auto& expected = xpm[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
      SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
      ASSERT_EQ(maskBit(x, y), expected ? 0 : 1);
      // A transparent pixel is black in the colour bitmap, so that it leaves the screen unchanged.
      EXPECT_EQ(colour(x, y), expected.value_or(Rgb{0, 0, 0}));
      transparent += expected ? 0 : 1;
    }
  }
  EXPECT_GT(transparent, 32 * 32 - 23 * 23); // everything outside the disc at least
}

} // namespace
