// SPDX-License-Identifier: MIT
// Qt's platform plugins for X11 and Windows pass every title through
// QPlatformWindow::formatWindowTitle: it puts the application name in place of an empty title and
// appends the application display name, once one is set, to every title that does not end with it.
// No setting turns this off. So, each time Qt has passed a title on, this file writes the title
// again, unformatted, into the native window: on X11 the _NET_WM_NAME property (Qt writes WM_NAME
// unformatted already), on Windows the window text.
#include "window_title.hpp"

#include <QEvent>
#include <QWidget>

#if defined(QUILLMERE_WITH_XCB)
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace quillmere {
namespace {

#if defined(QUILLMERE_WITH_XCB)
xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}
#endif

// Writes the title of `window` into its native window, if it has one yet.
void WriteTitle(const QWidget& window) {
  const WId id = window.internalWinId();
  if (id == 0) {
    return;
  }
#if defined(QUILLMERE_WITH_XCB)
  // Other platforms (offscreen) may hold an X connection too, but their windows are not X windows.
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (QGuiApplication::platformName() != QLatin1String("xcb") || x11 == nullptr ||
      x11->connection() == nullptr) {
    return;
  }
  xcb_connection_t* connection = x11->connection();
  const QByteArray title = window.windowTitle().toUtf8();
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(id),
                      Atom(connection, "_NET_WM_NAME"), Atom(connection, "UTF8_STRING"), 8,
                      static_cast<std::uint32_t>(title.size()), title.constData());
  xcb_flush(connection);
#elif defined(Q_OS_WIN)
  const QString title = window.windowTitle();
  SetWindowTextW(reinterpret_cast<HWND>(id), reinterpret_cast<const wchar_t*>(title.utf16()));
#endif
}

// Writes the title again after each change of it and each time the window is shown, which follows
// the creation of its native window and Qt's writing of the title there.
class TitleKeeper final : public QObject {
public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::Show) {
      WriteTitle(*static_cast<QWidget*>(watched));
    }
    return false;
  }
};

} // namespace

void KeepTitleExact(QWidget& window) {
  window.installEventFilter(new TitleKeeper(&window));
  WriteTitle(window);
}

} // namespace quillmere
