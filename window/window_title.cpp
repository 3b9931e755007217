// SPDX-License-Identifier: MIT
// Qt's platform plugins for X11, Wayland and Windows pass every title through
// QPlatformWindow::formatWindowTitle: it puts the application name in place of an empty title and
// appends the application display name, once one is set, to every title that does not end with it.
// No setting turns this off. So, each time Qt has passed a title on, this file writes the title
// again, unformatted, into the native window: on X11 the _NET_WM_NAME property (Qt writes WM_NAME
// unformatted already), on Wayland the xdg-shell toplevel's title, on Windows the window text.
#include "window_title.hpp"

#include <QEvent>
#include <QWidget>

#if defined(QUILLMERE_WITH_XCB) || defined(QUILLMERE_WITH_WAYLAND)
#include <QGuiApplication>

#include <cstdint>
#endif
#if defined(QUILLMERE_WITH_XCB)
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#endif
#if defined(QUILLMERE_WITH_WAYLAND)
#include <QLibrary>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>
#endif
#if defined(Q_OS_WIN)
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

// Writes the title of the X11 window `id` as _NET_WM_NAME.
void WriteX11Title(const QWidget& window, WId id) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) {
    return;
  }
  xcb_connection_t* connection = x11->connection();
  const QByteArray title = window.windowTitle().toUtf8();
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(id),
                      Atom(connection, "_NET_WM_NAME"), Atom(connection, "UTF8_STRING"), 8,
                      static_cast<std::uint32_t>(title.size()), title.constData());
  xcb_flush(connection);
}
#endif

#if defined(QUILLMERE_WITH_WAYLAND)
// xdg_toplevel's request set_title: the third of its requests (destroy, set_parent, set_title) in
// the stable xdg-shell protocol, whose request numbers never change.
constexpr std::uint32_t kXdgToplevelSetTitle = 2;
// The longest title Qt's Wayland plugin passes on (Qt 6.4 to 6.8, QWaylandWindow::setWindowTitle):
// a request must fit libwayland's buffer of 4096 bytes, less some for its header, and a character
// takes up to three bytes in UTF-8. A longer request would end the connection.
constexpr qsizetype kMaxWaylandTitleLength = 4096 / 3 - 100;

// libwayland's wl_proxy_marshal, taken from the library Qt's Wayland plugin has already loaded, so
// that the program does not need it elsewhere.
using WlProxyMarshal = void (*)(void* proxy, std::uint32_t opcode, ...);

// Sends the title of `window` to the compositor as the title of its xdg-shell toplevel, which
// Qt's Wayland plugin gives out through its native interface. Does nothing before the toplevel
// exists or under another shell.
void WriteWaylandTitle(const QWidget& window) {
  QWindow* handle = window.windowHandle();
  QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
  if (handle == nullptr || native == nullptr) {
    return;
  }
  void* toplevel = native->nativeResourceForWindow(QByteArrayLiteral("xdg_toplevel"), handle);
  static const auto marshal =
      reinterpret_cast<WlProxyMarshal>(QLibrary::resolve(QStringLiteral("wayland-client"), 0,
                                                         "wl_proxy_marshal"));
  if (toplevel == nullptr || marshal == nullptr) {
    return;
  }
  const QByteArray title =
      QStringView(window.windowTitle()).left(kMaxWaylandTitleLength).toUtf8();
  marshal(toplevel, kXdgToplevelSetTitle, title.constData());
}
#endif

// Writes the title of `window` into its native window, if it has one yet.
void WriteTitle(const QWidget& window) {
  const WId id = window.internalWinId();
  if (id == 0) {
    return;
  }
#if defined(QUILLMERE_WITH_XCB) || defined(QUILLMERE_WITH_WAYLAND)
  // Other platforms (offscreen) may hold an X connection too, but their windows are not X windows.
  const QString platform = QGuiApplication::platformName();
#endif
#if defined(QUILLMERE_WITH_XCB)
  if (platform == QLatin1String("xcb")) {
    WriteX11Title(window, id);
  }
#endif
#if defined(QUILLMERE_WITH_WAYLAND)
  if (platform.startsWith(QLatin1String("wayland"))) {
    WriteWaylandTitle(window);
  }
#endif
#if defined(Q_OS_WIN)
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
    if (event->type() == QEvent::Show) {
      // Qt's Wayland plugin makes the toplevel, and passes the title on, only after the widget's
      // show event, when the window becomes visible: write it once more after that.
      QMetaObject::invokeMethod(
          this, [this] { WriteTitle(*static_cast<QWidget*>(parent())); }, Qt::QueuedConnection);
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
