// SPDX-License-Identifier: MIT
#pragma once

namespace quillmere {

// Call before the QApplication exists. On Windows, when QT_QPA_PLATFORM names no platform, sets it
// to Qt's Windows platform with its FreeType font engine ("windows:fontengine=freetype"), which
// lays out and draws the built-in font as on Linux: Windows' own engine rounds its glyphs to whole
// pixels, which widens the start-up text past Text1's lines and draws it thin and grey. A platform
// chosen in QT_QPA_PLATFORM is kept. Does nothing on other systems.
void PreferFreeTypeOnWindows();

} // namespace quillmere
