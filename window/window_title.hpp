#pragma once

class QWidget;

namespace quillmere {

// Makes the window system show `window`'s title exactly as set, from now on and for as long as
// `window` lives: an empty title stays empty, and nothing is appended to a non-empty one, whatever
// the application's name or display name. Where the platform gives no access to the title (Wayland,
// macOS, the offscreen platform), the title stays as Qt passes it on.
void KeepTitleExact(QWidget& window);

} // namespace quillmere
