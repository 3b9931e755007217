// SPDX-License-Identifier: MIT
// A randomized user for the real window, offscreen: clicks on the buttons and boxes, keys, pastes
// of up to 2 MB, the access code and Info, from a fixed start value so that a failure replays.
// It checks that the window stays alive, answers each step within 10 s, keeps its boxes as the
// boxes keep texts, and that a decode after a paste into Text1 shows exactly the pasted bits.
//
// QUILLMERE_MONKEY_SECONDS  how long to run (default 60)
// QUILLMERE_MONKEY_START    the start value of the random generator (default kStartValue)
// QUILLMERE_MONKEY_STEPS    run exactly this many steps instead (to replay a failure)
#include "window/form1_window.hpp"

#include "codec/gap_carriers.hpp"
#include "codec/windows1252.hpp"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QKeySequence>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>

using namespace quillmere;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint64_t kStartValue = 20240611;
constexpr auto kAnswerLimit = std::chrono::seconds(10);
constexpr int kMaxPaste = 2'000'000;

QString Q(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::u16string_view View(const QString& text) {
  return {QStringView(text).utf16(), static_cast<std::size_t>(text.size())};
}

QtMessageHandler passOn = nullptr;

// Passes every message on but the one the offscreen platform gives each time a message box fixes
// its size, which would otherwise fill the output and the test runner's warning limit.
void DropSizeHintWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (!text.contains(QLatin1String("propagateSizeHints"))) {
    passOn(type, context, text);
  }
}

long long EnvNumber(const char* name, long long fallback) {
  bool ok = false;
  const long long value = qEnvironmentVariable(name).toLongLong(&ok);
  return ok ? value : fallback;
}

// Returns what Text1 holds after `clip` is pasted into it when empty: `clip` up to its first
// U+0000, characters without a Windows-1252 code as "?", every line break as CR LF.
QString KeptByCoverBox(const QString& clip) {
  QString kept = Q(ToWindows1252Repertoire(View(clip.left(clip.indexOf(QChar(u'\0'))))));
  kept.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
  return kept.replace(QLatin1String("\n"), QLatin1String("\r\n"));
}

// Keys pressed alone or with Shift, and keys pressed with Ctrl.
constexpr Qt::Key kKeys[] = {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete,  Qt::Key_Left,
                             Qt::Key_Right,  Qt::Key_Up,        Qt::Key_Down,    Qt::Key_Home,
                             Qt::Key_End,    Qt::Key_Tab,       Qt::Key_Backtab, Qt::Key_Space};
constexpr Qt::Key kCtrlKeys[] = {Qt::Key_A, Qt::Key_C, Qt::Key_X, Qt::Key_V, Qt::Key_Z, Qt::Key_Y};
// Typed characters: letters, umlauts, the two gap characters and some without a Windows-1252 code.
constexpr std::u16string_view kTyped[] = {u"e",      u"N",      u"ä",          u"ö",      u"ü",
                                          u"ß",      u"Ä",      u" ",          u"\u00A0", u"\u00A0",
                                          u"\u20AC", u"\u0101", u"\U0001F337", u"\xD800"};
// Characters of pasted texts; line breaks, U+0000 and gaps are added with their own weights.
constexpr std::u16string_view kPasted =
    u"abcdefghijklmnopqrstuvwxyzÄÖÜäöüß.,;!?-\t\u20AC\u00E9\u0101\u4E2D\uFFFD";

} // namespace

class Form1MonkeyTest : public QObject {
  Q_OBJECT

  std::unique_ptr<Form1> window;
  std::mt19937_64 random;
  std::FILE* log = nullptr;
  QString logPath;
  std::atomic<long long> stepStarted{0};
  std::atomic<long long> stepNumber{0};
  std::atomic<bool> running{false};
  std::optional<QString> failure;
  bool unlocked = false;
  int infoBoxesClosed = 0;
  int decodesChecked = 0;
  int titlesCut = 0;
  qsizetype largestPaste = 0;
  long long slowestStep = 0;
  long long slowestMilliseconds = 0;

  int Pick(int count) { return static_cast<int>(random() % static_cast<std::uint64_t>(count)); }
  bool Chance(int percent) { return Pick(100) < percent; }
  QWidget* widget(Control id) const { return window->control(id); }
  QPushButton* button(Control id) const { return static_cast<QPushButton*>(widget(id)); }
  QWidget* focused() const {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus : window.get();
  }
  static long long Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
  }

  // Starts the clock of the window's answer: the test's own work before this does not count.
  void HandOver() { stepStarted = Now(); }
  void Note(const QString& what) {
    std::fprintf(log, "%lld %s\n", stepNumber.load(), what.toUtf8().constData());
    std::fflush(log);
  }
  void Fail(const QString& why) {
    if (!failure) {
      failure = why;
    }
  }
  void PrintLog(const char* headline) const {
    std::fprintf(stderr, "monkey: %s\n", headline);
    if (std::FILE* in = std::fopen(logPath.toLocal8Bit().constData(), "r")) {
      for (int ch = std::fgetc(in); ch != EOF; ch = std::fgetc(in)) {
        std::fputc(ch, stderr);
      }
      std::fclose(in);
    }
    std::fprintf(stderr, "monkey: step log kept in %s\n", qPrintable(logPath));
  }

  // Returns a random text of up to kMaxPaste characters: mostly short, now and then megabytes,
  // with a random share of gaps, sometimes CR LF, lone CR or LF, U+0000 or unpaired surrogates.
  QString RandomText() {
    static constexpr int kLimits[] = {40, 400, 20'000, kMaxPaste};
    static constexpr int kWeights[] = {55, 30, 10, 5};
    int which = Pick(100);
    std::size_t size = 0;
    while (which >= kWeights[size]) {
      which -= kWeights[size++];
    }
    const int length = Pick(kLimits[size] + 1);
    const int gapShare = Pick(95);
    const int nbspShare = Pick(101);
    const bool lineBreaks = Chance(50);
    QString text;
    text.reserve(length + 1);
    while (text.size() < length) {
      if (Pick(100) < gapShare) {
        text += QChar(Pick(100) < nbspShare ? kNoBreakSpace : kSpace);
      } else if (lineBreaks && Chance(3)) {
        static constexpr std::u16string_view kBreaks[] = {u"\r\n", u"\r\n", u"\n", u"\r"};
        text += Q(kBreaks[Pick(4)]);
      } else if (Chance(1)) {
        text += Q(u"\U0001F337");
      } else {
        text += QChar(kPasted[static_cast<std::size_t>(Pick(static_cast<int>(kPasted.size())))]);
      }
    }
    if (Chance(15) && !text.isEmpty()) {
      text[Pick(static_cast<int>(text.size()))] = QChar(u'\0');
    }
    if (Chance(5) && !text.isEmpty()) {
      text[Pick(static_cast<int>(text.size()))] = QChar(u'\xDC00');
    }
    return text;
  }

  void PressKey(QWidget* target) {
    if (Chance(40)) {
      const std::u16string_view typed = kTyped[Pick(std::size(kTyped))];
      Note(QStringLiteral("type U+%1 into %2")
               .arg(static_cast<int>(typed[0]), 4, 16, QLatin1Char('0'))
               .arg(target->objectName()));
      QTest::sendKeyEvent(QTest::Press, target, Qt::Key_unknown, Q(typed), Qt::NoModifier);
      QTest::sendKeyEvent(QTest::Release, target, Qt::Key_unknown, Q(typed), Qt::NoModifier);
      return;
    }
    const bool ctrl = Chance(50);
    const Qt::KeyboardModifiers shift = Chance(15) ? Qt::ShiftModifier : Qt::NoModifier;
    const Qt::Key pressed =
        ctrl ? kCtrlKeys[Pick(std::size(kCtrlKeys))] : kKeys[Pick(std::size(kKeys))];
    const QKeyCombination key(shift | (ctrl ? Qt::ControlModifier : Qt::NoModifier), pressed);
    Note(QStringLiteral("key %1 in %2").arg(QKeySequence(key).toString(), target->objectName()));
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
  }

  void ClickBox() {
    static constexpr Control kBoxes[] = {Control::Text1, Control::Text2, Control::Text3,
                                         Control::Text4};
    QWidget* box = widget(kBoxes[Pick(4)]);
    QWidget* target =
        box == widget(Control::Text1) ? static_cast<QPlainTextEdit*>(box)->viewport() : box;
    const int x = Pick(target->width());
    const QPoint at(x, Pick(target->height()));
    const bool twice = Chance(20);
    const Qt::KeyboardModifiers shift = Chance(20) ? Qt::ShiftModifier : Qt::NoModifier;
    Note(QStringLiteral("%1click %2 at %3,%4%5")
             .arg(twice ? QStringLiteral("double ") : QString(), box->objectName())
             .arg(at.x())
             .arg(at.y())
             .arg(shift ? QStringLiteral(" with Shift") : QString()));
    if (twice) {
      QTest::mouseDClick(target, Qt::LeftButton, shift, at);
    } else {
      QTest::mouseClick(target, Qt::LeftButton, shift, at);
    }
  }

  void ClickButton() {
    static constexpr Control kButtons[] = {Control::Command1, Control::Command2, Control::Command3,
                                           Control::Command4, Control::Command5};
    const Control id = kButtons[Pick(5)];
    Note(QStringLiteral("click %1").arg(button(id)->objectName()));
    const int closedBefore = infoBoxesClosed;
    QTest::mouseClick(button(id), Qt::LeftButton);
    if (id == Control::Command5 && infoBoxesClosed != closedBefore + 1) {
      Fail(QStringLiteral("Info showed %1 message boxes").arg(infoBoxesClosed - closedBefore));
    }
  }

  void Paste(QWidget* target, const QString& clip) {
    largestPaste = std::max(largestPaste, clip.size());
    Note(QStringLiteral("paste %1 characters (%2 gaps, U+0000 at %3) into %4")
             .arg(clip.size())
             .arg(clip.count(kSpace) + clip.count(kNoBreakSpace))
             .arg(clip.indexOf(QChar(u'\0')))
             .arg(target->objectName()));
    HandOver();
    QGuiApplication::clipboard()->setText(clip);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
  }

  // Pastes a random text over all of Text1 and decodes it: the title must be its bits.
  void PasteAndDecode() {
    QWidget* text1 = widget(Control::Text1);
    text1->setFocus();
    Note(QStringLiteral("select all of Text1"));
    QTest::keyClick(text1, Qt::Key_A, Qt::ControlModifier);
    const QString clip = RandomText();
    Paste(text1, clip);
    const QString kept = KeptByCoverBox(clip);
    if (Q(window->ReadText(TextBox::Text1)) != kept) {
      return Fail(QStringLiteral("Text1 does not hold the pasted text as the box keeps it"));
    }
    // A locked Command1 ignores the click and leaves the title as it was.
    const QString expected =
        unlocked ? Q(TitleFor(ExtractBits(View(kept)))) : window->windowTitle();
    Note(QStringLiteral("click Command1 to decode"));
    HandOver();
    QTest::mouseClick(button(Control::Command1), Qt::LeftButton);
    if (window->windowTitle() != expected) {
      return Fail(QStringLiteral("the title after the decode is not the pasted text's bits (%1 "
                                 "characters instead of %2)")
                      .arg(window->windowTitle().size())
                      .arg(expected.size()));
    }
    decodesChecked += unlocked ? 1 : 0;
    titlesCut += expected.endsWith(QChar(u'\u2026')) ? 1 : 0;
  }

  void TypeAccessCode() {
    QWidget* text3 = widget(Control::Text3);
    Note(QStringLiteral("type the access code over all of Text3"));
    QTest::keyClick(text3, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(text3, QStringLiteral("TULPEN"));
    unlocked = true;
  }

  void Step() {
    const int kind = Pick(100);
    if (kind < 30) {
      PressKey(focused());
    } else if (kind < 38) {
      const QString word = QStringLiteral("Wort%1 ").arg(Pick(100));
      Note(QStringLiteral("key clicks \"%1\" in %2").arg(word, focused()->objectName()));
      QTest::keyClicks(focused(), word);
    } else if (kind < 52) {
      ClickBox();
    } else if (kind < 68) {
      ClickButton();
    } else if (kind < 83) {
      Paste(focused(), RandomText());
    } else if (kind < 97) {
      PasteAndDecode();
    } else {
      TypeAccessCode();
    }
  }

  void CheckWindow() {
    if (!window->isVisible()) {
      return Fail(QStringLiteral("the window closed"));
    }
    if (QApplication::activeModalWidget() != nullptr) {
      return Fail(QStringLiteral("a modal window stayed open"));
    }
    const bool decodeOn = button(Control::Command1)->isEnabled();
    if (decodeOn != button(Control::Command2)->isEnabled() || (unlocked && !decodeOn)) {
      return Fail(QStringLiteral("the access code does not rule Command1 and Command2"));
    }
    for (const TextBox box : {TextBox::Text1, TextBox::Text2, TextBox::Text3, TextBox::Text4}) {
      const std::u16string text = window->ReadText(box);
      if (text.find(u'\0') != std::u16string::npos || CountUnencodable(text) != 0) {
        return Fail(QStringLiteral("a box holds U+0000 or a character outside Windows-1252"));
      }
    }
  }

  // Closes the modal message box that Info opens, in turn with OK, Enter and Escape.
  void CloseMessageBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (QApplication::activeModalWidget() != nullptr) {
        Fail(QStringLiteral("an unexpected modal window opened"));
        QApplication::activeModalWidget()->close();
      }
      return;
    }
    if (box->text() != Q(InfoText) || box->windowTitle() != Q(ApplicationTitle)) {
      Fail(QStringLiteral("the message box does not show the Info text"));
    }
    switch (infoBoxesClosed++ % 3) {
    case 0:
      QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
      break;
    case 1:
      QTest::keyClick(box, Qt::Key_Return);
      break;
    default:
      QTest::keyClick(box, Qt::Key_Escape);
      break;
    }
  }

  // Aborts with the step log when a step has not come back to the test for kAnswerLimit.
  void Watch() {
    while (running) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (running && Now() - stepStarted > std::chrono::milliseconds(kAnswerLimit).count()) {
        PrintLog("the window has not answered for 10 s; step log:");
        std::fprintf(stderr, "monkey: step %lld did not come back within 10 s\n",
                     stepNumber.load());
        std::abort();
      }
    }
  }

private slots:
  void initTestCase() { ConfigureApplication(); }

  void randomUseKeepsTheWindowAliveAnsweringAndDecodingPastes() {
    const auto startValue = static_cast<std::uint64_t>(
        EnvNumber("QUILLMERE_MONKEY_START", static_cast<long long>(kStartValue)));
    const long long seconds = EnvNumber("QUILLMERE_MONKEY_SECONDS", 60);
    const long long steps = EnvNumber("QUILLMERE_MONKEY_STEPS", -1);
    random = std::mt19937_64(startValue);
    logPath = QDir::temp().filePath(
        QStringLiteral("quillmere-monkey-%1.log").arg(QCoreApplication::applicationPid()));
    log = std::fopen(logPath.toLocal8Bit().constData(), "w");
    QVERIFY(log != nullptr);
    std::printf("monkey: start value %llu, %s, step log in %s\n",
                static_cast<unsigned long long>(startValue),
                qPrintable(steps >= 0 ? QStringLiteral("%1 steps").arg(steps)
                                      : QStringLiteral("%1 s").arg(seconds)),
                qPrintable(logPath));
    std::fflush(stdout);

    passOn = qInstallMessageHandler(DropSizeHintWarnings);
    window = std::make_unique<Form1>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [this] { CloseMessageBox(); });
    closer.start(10);
    stepStarted = Now();
    running = true;
    std::thread watchdog([this] { Watch(); });

    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (!failure && (steps >= 0 ? stepNumber < steps : Clock::now() < end)) {
      ++stepNumber;
      HandOver();
      if (!unlocked && stepNumber == 20) {
        TypeAccessCode();
      } else {
        Step();
      }
      QCoreApplication::processEvents();
      if (Now() - stepStarted > slowestMilliseconds) {
        slowestMilliseconds = Now() - stepStarted;
        slowestStep = stepNumber;
      }
      CheckWindow();
    }
    running = false;
    watchdog.join();
    std::fclose(log);
    qInstallMessageHandler(passOn);
    std::printf(
        "monkey: %lld steps, %d decodes checked (%d with a cut title), %d Info boxes "
        "closed, largest paste %lld characters, slowest step %lld (%lld ms)\n",
        stepNumber.load(), decodesChecked, titlesCut, infoBoxesClosed,
        static_cast<long long>(largestPaste), slowestStep, slowestMilliseconds);
    std::fflush(stdout);
    if (failure) {
      PrintLog("step log:");
      std::fprintf(stderr,
                   "monkey: replay with QUILLMERE_MONKEY_START=%llu "
                   "QUILLMERE_MONKEY_STEPS=%lld\n",
                   static_cast<unsigned long long>(startValue), stepNumber.load());
      QFAIL(qPrintable(QStringLiteral("step %1: %2").arg(stepNumber.load()).arg(*failure)));
    }
    QFile::remove(logPath);
    window.reset();
  }
};

int main(int argc, char** argv) {
  // Runs offscreen unless told otherwise, also when started outside the test runner.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  Form1MonkeyTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "form1_monkey_test.moc"
