// SPDX-License-Identifier: MIT
#include "window/form1_window.hpp"

#include <quillmere/version.hpp>

#include <QApplication>
#include <QIcon>
#include <QImage>

#include <gtest/gtest.h>

#include <string>

namespace {

const QString kIconDir = QStringLiteral(QUILLMERE_ICON_DIR);
constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

enum class Looks { Red, White, Clear };

// A point of the design on the 32 x 32 grid of the XPM, and what every size shows there.
struct Sample {
  double x;
  double y;
  Looks looks;
  const char* where;
};
constexpr Sample kSamples[] = {
    {15.5, 15.5, Looks::White, "centre of the bar"},
    {9.0, 15.5, Looks::White, "left end of the bar"},
    {22.0, 15.5, Looks::White, "right end of the bar"},
    {15.5, 8.5, Looks::Red, "disc above the bar"},
    {15.5, 22.5, Looks::Red, "disc below the bar"},
    {1.0, 1.0, Looks::Clear, "top left corner"},
    {30.5, 1.0, Looks::Clear, "top right corner"},
    {1.0, 30.5, Looks::Clear, "bottom left corner"},
    {30.5, 30.5, Looks::Clear, "bottom right corner"},
};

bool Shows(QRgb pixel, Looks looks) {
  switch (looks) {
  case Looks::Red:
    return qAlpha(pixel) > 200 && qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
  case Looks::White:
    return qAlpha(pixel) > 200 && qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200;
  case Looks::Clear:
    break;
  }
  return qAlpha(pixel) < 30;
}

QImage Load(int size) {
  return QImage(kIconDir + QStringLiteral("/%1.png").arg(size))
      .convertToFormat(QImage::Format_ARGB32);
}

TEST(Icons, EverySizeShowsTheRedDiscWithTheWhiteBar) {
  for (const int size : kSizes) {
    const QImage image = Load(size);
    ASSERT_EQ(image.size(), QSize(size, size)) << size << " px icon missing or of the wrong size";
    for (const Sample& sample : kSamples) {
      const int x = static_cast<int>(sample.x * size / 32);
      const int y = static_cast<int>(sample.y * size / 32);
      EXPECT_TRUE(Shows(image.pixel(x, y), sample.looks))
          << size << " px, " << sample.where << " at (" << x << ", " << y << "): #" << std::hex
          << image.pixel(x, y);
    }
  }
}

TEST(Icons, RenderedThirtyTwoAgreesWithTheXpmBesideTheRim) {
  const QImage drawn =
      QImage(QStringLiteral(QUILLMERE_XPM_FILE)).convertToFormat(QImage::Format_ARGB32);
  const QImage rendered = Load(32);
  ASSERT_EQ(drawn.size(), QSize(32, 32));
  ASSERT_EQ(rendered.size(), QSize(32, 32));
  int differing = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const QRgb a = drawn.pixel(x, y);
      const QRgb b = rendered.pixel(x, y);
      const bool opaqueAlike = (qAlpha(a) > 127) == (qAlpha(b) > 127);
      const bool colourAlike = qAlpha(a) <= 127 || qAbs(qGreen(a) - qGreen(b)) < 128;
      differing += opaqueAlike && colourAlike ? 0 : 1;
    }
  }
  // Anti-aliasing may move single rim pixels of the disc; a moved bar or disc differs by dozens.
  EXPECT_LE(differing, 12);
}

TEST(Icons, WindowIconHasEverySizeAndTheXpmAtThirtyTwo) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "icons_test";
  char* argv[] = {name, nullptr};
  const QApplication application(argc, argv);
  quillmere::ConfigureApplication();

  const QIcon icon = QApplication::windowIcon();
  for (const int size : kSizes) {
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
  }
  const QImage drawn =
      QImage(QStringLiteral(QUILLMERE_XPM_FILE)).convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32), drawn);
  EXPECT_EQ(QGuiApplication::desktopFileName().toStdString(),
            std::string(quillmere::kApplicationId));
}

} // namespace
