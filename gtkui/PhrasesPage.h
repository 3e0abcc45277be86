// The "自訂詞庫" page, in gcin's settings window and in the phrase window
// of the fcitx5 addon: a GTK face on PhraseBook (the list with its search
// box, the buttons that remove, exclude and undo, the form that adds a
// phrase, import and export). Everything it decides PhraseBook decides;
// this file only shows it.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "phonetics/BpmfKeyboardLayout.h"

namespace Kestova::PhrasesPage {

// Where a host keeps the data and the user's files, and the layout a
// reading typed as keys is read with (the one the user types with).
struct Place {
  std::string dataRoot;
  std::string userDirectory;
  const BpmfKeyboardLayout* layout = nullptr;
};

// Builds the page for a window of the settings window. The page keeps its
// state with its widgets and lets it go with them. Its widgets are named
// (gtk_widget_set_name) "phrases-search", "phrases-list", "phrases-remove",
// "phrases-exclude", "phrases-undo", "phrases-import", "phrases-export",
// "phrases-value", "phrases-reading", "phrases-choices", "phrases-add",
// "phrases-verdict" and "phrases-status".
GtkWidget* create(GtkWindow* window, const Place& place);
// Lists the user files again if they changed on disk since the page last
// read them (the window calls it whenever the page is shown again).
void refresh(GtkWidget* page);

}  // namespace Kestova::PhrasesPage
