// SPDX-License-Identifier: MIT
#include "german_qt_texts.hpp"

#include <QCoreApplication>

#include <cstring>

namespace quillmere {
namespace {

struct QtText {
  const char* context;
  const char* source;
  const char16_t* german;
};

// The contexts and source texts are those of Qt 6.4 to 6.8; the German texts are qtbase_de's.
constexpr QtText kQtTexts[] = {
    // The single-line boxes' context menu (QLineEdit::createStandardContextMenu).
    {"QLineEdit", "&Undo", u"&Rückgängig"},
    {"QLineEdit", "&Redo", u"Wieder&herstellen"},
    {"QLineEdit", "Cu&t", u"&Ausschneiden"},
    {"QLineEdit", "&Copy", u"&Kopieren"},
    {"QLineEdit", "&Paste", u"Einf&ügen"},
    {"QLineEdit", "Delete", u"Löschen"},
    {"QLineEdit", "Select All", u"Alles auswählen"},
    // The cover box's context menu (QPlainTextEdit's, made by QWidgetTextControl).
    {"QWidgetTextControl", "&Undo", u"&Rückgängig"},
    {"QWidgetTextControl", "&Redo", u"Wieder&herstellen"},
    {"QWidgetTextControl", "Cu&t", u"&Ausschneiden"},
    {"QWidgetTextControl", "&Copy", u"&Kopieren"},
    {"QWidgetTextControl", "&Paste", u"Einf&ügen"},
    {"QWidgetTextControl", "Delete", u"Löschen"},
    {"QWidgetTextControl", "Select All", u"Alles auswählen"},
    {"QWidgetTextControl", "Copy &Link Location", u"&Link-Adresse kopieren"},
    // The submenu both menus add where the platform asks for right-to-left extensions.
    {"QUnicodeControlCharacterMenu", "Insert Unicode control character",
     u"Unicode-Kontrollzeichen einfügen"},
    // The shortcuts the menus show beside their entries ("Strg+Z"): QKeySequence's modifier names.
    {"QShortcut", "Ctrl", u"Strg"},
    {"QShortcut", "Shift", u"Umschalt"},
    {"QShortcut", "Alt", u"Alt"},
    {"QShortcut", "Meta", u"Meta"},
    // The message box's OK button: QPlatformTheme's wording, and the GNOME theme's own.
    {"QPlatformTheme", "OK", u"OK"},
    {"QGnomeTheme", "&OK", u"&OK"},
    // What a screen reader says the buttons and boxes do (QAccessibleActionInterface).
    {"QAccessibleActionInterface", "Press", u"Drücken"},
    {"QAccessibleActionInterface", "Triggers the action", u"Aktion auslösen"},
    {"QAccessibleActionInterface", "SetFocus", u"Fokus setzen"},
    {"QAccessibleActionInterface", "Sets the focus", u"Setzt den Fokus"},
    {"QAccessibleActionInterface", "ShowMenu", u"Menü anzeigen"},
    {"QAccessibleActionInterface", "Shows the menu", u"Zeigt das Menü an"},
};

} // namespace

QString GermanQtTexts::translate(const char* context, const char* sourceText,
                                 const char* /*disambiguation*/, int /*n*/) const {
  if (context == nullptr || sourceText == nullptr) {
    return {};
  }
  for (const QtText& text : kQtTexts) {
    if (std::strcmp(text.context, context) == 0 && std::strcmp(text.source, sourceText) == 0) {
      return QString::fromUtf16(text.german);
    }
  }
  return {};
}

bool GermanQtTexts::isEmpty() const {
  return false;
}

void InstallGermanQtTexts() {
  QCoreApplication::installTranslator(new GermanQtTexts(QCoreApplication::instance()));
}

} // namespace quillmere
