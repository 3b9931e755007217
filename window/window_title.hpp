// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

namespace quillmere {

// Makes the window system show `window`'s title exactly as set, from now on and for as long as
// `window` lives: an empty title stays empty, and nothing is appended to a non-empty one, whatever
// the application's name or display name. On X11 and Windows it writes the title into the native
// window itself, on Wayland into the window's xdg-shell toplevel (in builds with Qt's platform
// headers; other builds leave the title as Qt passes it on). macOS takes titles unchanged anyway.
void KeepTitleExact(QWidget& window);

} // namespace quillmere
