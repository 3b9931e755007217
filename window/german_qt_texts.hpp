// SPDX-License-Identifier: MIT
#pragma once

#include <QTranslator>

// Qt's own texts that the window can show (the text boxes' context menus, the message box's button,
// the names a screen reader gives the controls' actions), in German, carried in the program: the
// window reads German on every system, whatever its locale and whether or not Qt's translations
// are installed.
namespace quillmere {

// Answers Qt's own translation contexts from a table of German texts, worded as Qt's German
// translation (qtbase_de) words them, accelerators ("&") included.
class GermanQtTexts final : public QTranslator {
  Q_OBJECT

public:
  using QTranslator::QTranslator;

  // Returns the German text of `sourceText` in `context`, or a null QString for a text the table
  // does not hold, so that Qt shows it as it is. The disambiguation and the count are not used:
  // none of the texts has either.
  [[nodiscard]] QString translate(const char* context, const char* sourceText,
                                  const char* disambiguation, int n) const override;
  // Returns false: the table is never empty, so Qt always asks it.
  [[nodiscard]] bool isEmpty() const override;
};

// Installs a GermanQtTexts, owned by the application, into the running QApplication. Call it once,
// before any widget is made; widgets made later take their texts from it.
void InstallGermanQtTexts();

} // namespace quillmere
