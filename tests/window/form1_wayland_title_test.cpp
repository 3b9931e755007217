// SPDX-License-Identifier: MIT
// Drives the real window on a Wayland compositor (run under with_weston.sh) and reads the titles
// the program sends it: libwayland logs every request (WAYLAND_DEBUG=client) on standard error,
// which this test sends into a file of its own.
#include "window/form1_window.hpp"

#include "form1_test_support.hpp"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>

using namespace quillmere;
using namespace quillmere::test;

namespace {

// The file standard error goes to.
QString& LogFileName() {
  static QString name;
  return name;
}

// Returns the titles the program has sent for its toplevel windows so far, in order.
QStringList SentTitles() {
  QFile log(LogFileName());
  if (!log.open(QIODevice::ReadOnly)) {
    return {};
  }
  static const QRegularExpression request(
      QStringLiteral(R"re(-> xdg_toplevel@\d+\.set_title\("(.*)"\)$)re"),
      QRegularExpression::MultilineOption);
  QStringList titles;
  const QString text = QString::fromUtf8(log.readAll());
  for (auto match = request.globalMatch(text); match.hasNext();) {
    titles << match.next().captured(1);
  }
  return titles;
}

} // namespace

class Form1WaylandTitleTest : public QObject {
  Q_OBJECT

  std::unique_ptr<Form1> window;

  void click(Control id) {
    QTest::mouseClick(static_cast<QPushButton*>(window->control(id)), Qt::LeftButton);
  }
  // Types `message` over the text of Text2, encodes it and returns the titles sent meanwhile.
  QStringList titlesSentByEncoding(const QString& message) {
    const qsizetype before = SentTitles().size();
    QWidget* text2 = window->control(Control::Text2);
    QTest::keyClick(text2, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(text2, Qt::Key_Delete);
    QTest::keyClicks(text2, message);
    click(Control::Command2);
    return SentTitles().mid(before);
  }

private slots:
  void initTestCase() {
    QVERIFY2(QGuiApplication::platformName().startsWith(QLatin1String("wayland")),
             qPrintable(QGuiApplication::platformName()));
    ConfigureApplication();
  }

  void init() { QVERIFY(ShowNewUnlockedForm1(window)); }

  void cleanup() { window.reset(); }

  void emptyTitleReachesTheCompositorEmptyNotAsTheProgramName() {
    const QStringList sent = titlesSentByEncoding(QString());
    QVERIFY(!sent.isEmpty());
    QCOMPARE(sent.last(), QString());
  }

  void bitsReachTheCompositorUnchanged() {
    const QStringList sent = titlesSentByEncoding(QStringLiteral("abc"));
    QVERIFY(!sent.isEmpty());
    QCOMPARE(sent.last(), QStringLiteral("011000010110001001100011"));
  }

  // A request longer than libwayland's buffer would end the connection, and the program with it.
  void longTitlesAreCutAsQtCutsThem() {
    window->ReplaceText(TextBox::Text1, std::u16string(5000, u' '));
    const QStringList sent = titlesSentByEncoding(QString(600, QLatin1Char('a')));
    QVERIFY(!sent.isEmpty());
    QCOMPARE(window->windowTitle().size(), 4800);
    QCOMPARE(sent.last(), window->windowTitle().left(4096 / 3 - 100));
    // The connection still stands: the next title still reaches the compositor.
    QCOMPARE(titlesSentByEncoding(QStringLiteral("abc")).value(0),
             QStringLiteral("011000010110001001100011"));
  }

  // Last, as a display name once set stays for the rest of the run. Qt passes the title on, with
  // the display name appended, only once the window is shown.
  void startTitleReachesTheCompositorWithoutTheDisplayName() {
    window.reset();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("quillmere"));
    QVERIFY(ShowNewForm1(window));
    QTRY_COMPARE(SentTitles().value(SentTitles().size() - 1),
                 QStringLiteral("Verschlüsselungsdemo"));
  }
};

int main(int argc, char** argv) {
  // Standard error into a file from the start, before Qt connects to the compositor.
  QTemporaryFile log;
  if (!log.open()) {
    return 2;
  }
  LogFileName() = log.fileName();
  const int fd = ::open(QFile::encodeName(log.fileName()).constData(), O_WRONLY | O_APPEND);
  if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0) {
    return 2;
  }
  ::close(fd);
  qputenv("WAYLAND_DEBUG", "client");
  QApplication application(argc, argv);
  Form1WaylandTitleTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "form1_wayland_title_test.moc"
