// SPDX-License-Identifier: MIT
#pragma once

// What the Qt Test programs of the window do before their cases: make the window, show it, wait
// for it, and unlock its cipher buttons as a user does. The helpers that wait return whether the
// wait succeeded, for the caller's QVERIFY, so that a failed wait ends the caller's init() there.
#include "window/form1_window.hpp"

#include <QString>
#include <QTest>

#include <memory>

namespace quillmere::test {

// Puts a new Form1 into `window` (made before the old one goes) and shows it; returns whether the
// window system exposed it within Qt Test's default wait.
inline bool ShowNewForm1(std::unique_ptr<Form1>& window) {
  window = std::make_unique<Form1>();
  window->show();
  return QTest::qWaitForWindowExposed(window.get());
}

// As ShowNewForm1, and then activates the window; returns false, without activating, when it was
// not exposed, and false when it did not become the active window within Qt Test's default wait.
inline bool ShowNewActiveForm1(std::unique_ptr<Form1>& window) {
  if (!ShowNewForm1(window)) {
    return false;
  }
  window->activateWindow();
  return QTest::qWaitForWindowActive(window.get());
}

// Types the access code into Text3 key by key, which unlocks Command1 and Command2; the code is
// written out as a user knows it, not taken from the program's AccessCode.
inline void TypeAccessCode(Form1& window) {
  QTest::keyClicks(window.control(Control::Text3), QStringLiteral("TULPEN"));
}

// As ShowNewForm1, and then types the access code; returns false, without typing it, when the
// window was not exposed.
inline bool ShowNewUnlockedForm1(std::unique_ptr<Form1>& window) {
  if (!ShowNewForm1(window)) {
    return false;
  }
  TypeAccessCode(*window);
  return true;
}

} // namespace quillmere::test
