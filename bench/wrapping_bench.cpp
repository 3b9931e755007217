// SPDX-License-Identifier: MIT
// Figures for the cover box's wrapping, in the real window, offscreen: the time to show a 1 MB
// cover and to type one character into its middle, with every gap 0 and with every gap 1, for a
// cover in paragraphs and for one without line breaks (a single paragraph of 1 MB).
#include "window/form1_window.hpp"
#include "window_bench_support.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Milliseconds(const QElapsedTimer& timer) {
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  quillmere::ConfigureApplication();
  quillmere::Form1 window;
  window.show();
  (void)QTest::qWaitForWindowExposed(&window);
  auto* text1 = static_cast<QPlainTextEdit*>(window.control(quillmere::Control::Text1));

  std::printf("1 MB cover in Text1, median of 5:\n");
  for (const std::u16string_view lineEnd : {std::u16string_view(u"\r\n"), std::u16string_view()}) {
    for (const char16_t gap : {u' ', u'\u00A0'}) {
      std::u16string cover = GermanProse(1 << 20, lineEnd);
      std::replace(cover.begin(), cover.end(), u' ', gap);
      std::vector<double> shown;
      std::vector<double> typed;
      for (int round = 0; round < 5; ++round) {
        window.ReplaceText(quillmere::TextBox::Text1, u"");
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        window.ReplaceText(quillmere::TextBox::Text1, cover);
        text1->repaint();
        shown.push_back(Milliseconds(timer));

        QTextCursor middle = text1->textCursor();
        middle.setPosition(static_cast<int>(cover.size() / 2));
        text1->setTextCursor(middle);
        QApplication::processEvents();
        timer.restart();
        QTest::keyClick(text1, Qt::Key_X);
        text1->repaint();
        typed.push_back(Milliseconds(timer));
      }
      std::printf("  %s, every gap %c: shown in %.1f ms, a typed character shown in %.1f ms\n",
                  lineEnd.empty() ? "one paragraph" : "paragraphs", gap == u' ' ? '0' : '1',
                  Median(shown), Median(typed));
    }
  }
  return 0;
}
