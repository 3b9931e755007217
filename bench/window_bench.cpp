// SPDX-License-Identifier: MIT
// Figures for the real window, offscreen: time from main to the first frame, resident memory at
// rest, and the time from a click on "verschlüsseln" and on "entschlüsseln" to the result shown,
// with a 1 MB cover of German prose in paragraphs.
#include "window/form1_window.hpp"

#include "codec/gap_carriers.hpp"
#include "window_bench_support.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Notes when the watched widget is first painted.
class FirstPaint : public QObject {
public:
  bool painted = false;
  bool eventFilter(QObject* watched, QEvent* event) override {
    painted = painted || event->type() == QEvent::Paint;
    return QObject::eventFilter(watched, event);
  }
};

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::stol(line.substr(6));
    }
  }
  return -1;
}

// Returns the milliseconds from a click on `button` until the window has painted the result.
double TimeClick(quillmere::Form1& window, QPushButton* button) {
  QElapsedTimer timer;
  timer.start();
  QTest::mouseClick(button, Qt::LeftButton);
  window.repaint();
  QApplication::processEvents();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceMain;
  sinceMain.start();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  quillmere::ConfigureApplication();
  quillmere::Form1 window;
  FirstPaint firstPaint;
  window.installEventFilter(&firstPaint);
  window.show();
  while (!firstPaint.painted) {
    QApplication::processEvents();
  }
  std::printf("start-up, main to first frame: %.1f ms (target 100 ms)\n",
              static_cast<double>(sinceMain.nsecsElapsed()) / 1e6);
  QApplication::processEvents();
  std::printf("resident memory at rest: %.1f MB (target 40 MB)\n",
              static_cast<double>(ResidentKilobytes()) / 1024.0);

  window.ReplaceText(quillmere::TextBox::Text3, quillmere::AccessCode);
  quillmere::HandleTextChange(window, quillmere::TextBox::Text3);
  auto* encode = static_cast<QPushButton*>(window.control(quillmere::Control::Command2));
  auto* decode = static_cast<QPushButton*>(window.control(quillmere::Control::Command1));
  const std::u16string cover = GermanProse(1 << 20, u"\r\n");
  const std::u16string shortMessage =
      u"Treffen morgen um acht am alten Bahnhof, bring die Karte mit.";
  // A message that fills every gap changes about half of them: the largest edit of the cover.
  const std::u16string fullMessage = GermanProse(quillmere::Capacity(cover) / 8, u"\r\n")
                                         .substr(0, quillmere::Capacity(cover) / 8);
  std::printf("1 MB cover (%zu characters, %zu gaps), median of 5 (target 50 ms each):\n",
              cover.size(), quillmere::Capacity(cover));
  for (const std::u16string* message : {&shortMessage, &fullMessage}) {
    window.ReplaceText(quillmere::TextBox::Text2, *message);
    std::vector<double> encodeTimes;
    std::vector<double> decodeTimes;
    for (int round = 0; round < 5; ++round) {
      window.ReplaceText(quillmere::TextBox::Text1, cover);
      QApplication::processEvents();
      encodeTimes.push_back(TimeClick(window, encode));
      decodeTimes.push_back(TimeClick(window, decode));
    }
    std::printf("  message of %zu characters:\n", message->size());
    std::printf("    click on verschlüsseln to result shown: %.1f ms\n", Median(encodeTimes));
    std::printf("    click on entschlüsseln to result shown: %.1f ms\n", Median(decodeTimes));
  }
  return 0;
}
