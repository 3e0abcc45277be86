#include "gtkui/PhrasesPage.h"

#include <memory>
#include <string>
#include <vector>

#include "core/PhraseBook.h"

namespace Kestova::PhrasesPage {
namespace {

constexpr char kPageKey[] = "kestova-phrases-page";
// How many skipped lines of an import the status line names.
constexpr std::size_t kSkippedLinesShown = 10;

enum Column { kValueColumn, kReadingColumn, kSourceColumn, kDetailColumn, kIndexColumn };

// The page's state; it lives as long as the page's outermost box.
struct Page {
  GtkWindow* window = nullptr;
  GtkWidget* root = nullptr;
  std::unique_ptr<PhraseBook> book;
  // What the list shows, by row.
  std::vector<PhraseBook::Entry> shown;
  std::vector<PhraseBook::CharacterReadings> choices;
  // The last message of a change; the files' problems are shown after it.
  std::string message;

  GtkListStore* store = nullptr;
  GtkWidget* search = nullptr;
  GtkWidget* list = nullptr;
  GtkWidget* remove = nullptr;
  GtkWidget* exclude = nullptr;
  GtkWidget* undo = nullptr;
  GtkWidget* value = nullptr;
  GtkWidget* reading = nullptr;
  GtkWidget* choicesBox = nullptr;
  GtkWidget* add = nullptr;
  GtkWidget* verdict = nullptr;
  GtkWidget* status = nullptr;
};

Page* pageOf(gpointer root) {
  return static_cast<Page*>(g_object_get_data(G_OBJECT(root), kPageKey));
}

std::string spaced(std::string text) {
  for (char& c : text) {
    if (c == '-') c = ' ';
  }
  return text;
}

std::string detailText(const PhraseBook::Entry& entry) {
  switch (entry.source) {
    case PhraseBook::Source::Replaced:
      return "→ " + entry.detail;
    case PhraseBook::Source::Learnt:
      return entry.detail.empty() ? std::string() : "權重 " + entry.detail;
    default:
      return {};
  }
}

const PhraseBook::Entry* selectedEntry(Page& page) {
  GtkTreeModel* model = nullptr;
  GtkTreeIter iter;
  if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(page.list)),
                                       &model, &iter)) {
    return nullptr;
  }
  gint index = -1;
  gtk_tree_model_get(model, &iter, kIndexColumn, &index, -1);
  if (index < 0 || static_cast<std::size_t>(index) >= page.shown.size()) return nullptr;
  return &page.shown[static_cast<std::size_t>(index)];
}

void updateButtons(Page& page) {
  using Source = PhraseBook::Source;
  const PhraseBook::Entry* entry = selectedEntry(page);
  gtk_widget_set_sensitive(page.remove, entry && entry->source != Source::BuiltIn);
  gtk_widget_set_sensitive(
      page.exclude, entry && (entry->source == Source::Added || entry->source == Source::Learnt ||
                              entry->source == Source::BuiltIn));
  gtk_widget_set_sensitive(page.undo, page.book->canUndo());
}

void showStatus(Page& page) {
  std::string text = page.message;
  for (const std::string& problem : page.book->problems()) {
    if (!text.empty()) text += '\n';
    text += problem;
  }
  gtk_label_set_text(GTK_LABEL(page.status), text.c_str());
}

// Lists what the search box asks for.
void refreshList(Page& page) {
  const PhraseBook::SearchResult result =
      page.book->search(gtk_entry_get_text(GTK_ENTRY(page.search)));
  page.shown = result.entries;
  gtk_list_store_clear(page.store);
  for (std::size_t i = 0; i < page.shown.size(); ++i) {
    const PhraseBook::Entry& entry = page.shown[i];
    const std::string reading = spaced(entry.reading);
    const std::string detail = detailText(entry);
    const std::string source(PhraseBook::sourceLabel(entry.source));
    gtk_list_store_insert_with_values(page.store, nullptr, -1, kValueColumn, entry.value.c_str(),
                                      kReadingColumn, reading.c_str(), kSourceColumn,
                                      source.c_str(), kDetailColumn, detail.c_str(), kIndexColumn,
                                      static_cast<gint>(i), -1);
  }
  if (result.builtInCut) {
    gtk_list_store_insert_with_values(page.store, nullptr, -1, kValueColumn, "…", kSourceColumn,
                                      "內建", kDetailColumn, "還有更多，請縮小搜尋範圍",
                                      kIndexColumn, -1, -1);
  }
  updateButtons(page);
  showStatus(page);
}

void report(Page& page, const PhraseBook::Result& result) {
  page.message = result.message;
  refreshList(page);
}

void updateVerdict(Page& page) {
  const PhraseBook::Verdict verdict = page.book->check(gtk_entry_get_text(GTK_ENTRY(page.value)),
                                                       gtk_entry_get_text(GTK_ENTRY(page.reading)));
  gtk_label_set_text(GTK_LABEL(page.verdict), verdict.message.c_str());
  gtk_widget_set_sensitive(page.add, verdict.canAdd);
}

void showProposedReading(Page& page) {
  const std::optional<std::string> reading = PhraseBook::proposedReading(page.choices);
  gtk_entry_set_text(GTK_ENTRY(page.reading), reading ? spaced(*reading).c_str() : "");
}

void onChoiceChanged(GtkComboBox* combo, gpointer root) {
  Page* page = pageOf(root);
  if (!page) return;
  const auto index = static_cast<std::size_t>(
      GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(combo), "kestova-character")));
  const gint active = gtk_combo_box_get_active(combo);
  if (index >= page->choices.size() || active < 0) return;
  page->choices[index].chosen = static_cast<std::size_t>(active);
  showProposedReading(*page);
}

// One small column per character: the character, and its reading or a
// list of its readings.
void showChoices(Page& page) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(page.choicesBox));
  for (GList* child = children; child; child = child->next)
    gtk_widget_destroy(GTK_WIDGET(child->data));
  g_list_free(children);
  for (std::size_t i = 0; i < page.choices.size(); ++i) {
    const PhraseBook::CharacterReadings& choice = page.choices[i];
    GtkWidget* cell = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(cell), gtk_label_new(choice.character.c_str()), FALSE, FALSE, 0);
    GtkWidget* readings = nullptr;
    if (choice.readings.size() > 1) {
      readings = gtk_combo_box_text_new();
      for (const std::string& reading : choice.readings) {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(readings), reading.c_str());
      }
      gtk_combo_box_set_active(GTK_COMBO_BOX(readings), static_cast<gint>(choice.chosen));
      g_object_set_data(G_OBJECT(readings), "kestova-character",
                        GUINT_TO_POINTER(static_cast<guint>(i)));
      g_signal_connect_object(readings, "changed", G_CALLBACK(onChoiceChanged), page.root,
                              G_CONNECT_DEFAULT);
    } else {
      readings = gtk_label_new(choice.readings.empty() ? "？" : choice.readings.front().c_str());
    }
    gtk_box_pack_start(GTK_BOX(cell), readings, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(page.choicesBox), cell);
  }
  gtk_widget_show_all(page.choicesBox);
}

void onValueChanged(GtkEditable*, gpointer root) {
  Page* page = pageOf(root);
  if (!page) return;
  page->choices = page->book->proposeReadings(gtk_entry_get_text(GTK_ENTRY(page->value)));
  showChoices(*page);
  showProposedReading(*page);
  updateVerdict(*page);
}

void onReadingChanged(GtkEditable*, gpointer root) {
  if (Page* page = pageOf(root)) updateVerdict(*page);
}

void onAdd(GtkWidget*, gpointer root) {
  Page* page = pageOf(root);
  if (!page) return;
  const PhraseBook::Result result = page->book->add(gtk_entry_get_text(GTK_ENTRY(page->value)),
                                                    gtk_entry_get_text(GTK_ENTRY(page->reading)));
  if (result.ok) gtk_entry_set_text(GTK_ENTRY(page->value), "");
  report(*page, result);
}

void onSearchChanged(GtkSearchEntry*, gpointer root) {
  if (Page* page = pageOf(root)) refreshList(*page);
}

void onSelectionChanged(GtkTreeSelection*, gpointer root) {
  if (Page* page = pageOf(root)) updateButtons(*page);
}

void onRemove(GtkButton*, gpointer root) {
  Page* page = pageOf(root);
  if (!page) return;
  if (const PhraseBook::Entry* entry = selectedEntry(*page)) {
    const PhraseBook::Entry chosen = *entry;
    report(*page, page->book->remove(chosen));
  }
}

void onExclude(GtkButton*, gpointer root) {
  Page* page = pageOf(root);
  if (!page) return;
  if (const PhraseBook::Entry* entry = selectedEntry(*page)) {
    const PhraseBook::Entry chosen = *entry;
    report(*page, page->book->exclude(chosen));
  }
}

void onUndo(GtkButton*, gpointer root) {
  if (Page* page = pageOf(root)) report(*page, page->book->undo());
}

std::string chosenFile(GtkDialog* dialog) {
  gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
  std::string path = name ? name : "";
  g_free(name);
  return path;
}

void onImportResponse(GtkDialog* dialog, gint response, gpointer root) {
  const std::string path = response == GTK_RESPONSE_ACCEPT ? chosenFile(dialog) : std::string();
  gtk_widget_destroy(GTK_WIDGET(dialog));
  Page* page = pageOf(root);
  if (!page || path.empty()) return;
  const PhraseBook::ImportReport imported = page->book->importFile(path);
  std::string message = imported.message;
  for (std::size_t i = 0; i < imported.skipped.size() && i < kSkippedLinesShown; ++i) {
    message +=
        "\n第 " + std::to_string(imported.skipped[i].first) + " 行：" + imported.skipped[i].second;
  }
  if (imported.skipped.size() > kSkippedLinesShown) message += "\n…";
  report(*page, PhraseBook::Result{imported.ok, message});
}

void onExportResponse(GtkDialog* dialog, gint response, gpointer root) {
  const std::string path = response == GTK_RESPONSE_ACCEPT ? chosenFile(dialog) : std::string();
  gtk_widget_destroy(GTK_WIDGET(dialog));
  Page* page = pageOf(root);
  if (!page || path.empty()) return;
  report(*page, page->book->exportFile(path));
}

// A file dialog that answers through its response signal, without a main
// loop of its own (the host's loop keeps running).
void openFileDialog(Page& page, bool save) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      save ? "匯出自訂詞" : "匯入詞", page.window,
      save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, "取消(_C)",
      GTK_RESPONSE_CANCEL, save ? "匯出(_S)" : "匯入(_O)", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
  if (save) {
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), "kestova-phrases.txt");
  }
  g_signal_connect_object(dialog, "response",
                          save ? G_CALLBACK(onExportResponse) : G_CALLBACK(onImportResponse),
                          page.root, G_CONNECT_DEFAULT);
  gtk_widget_show(dialog);
}

void onImport(GtkButton*, gpointer root) {
  if (Page* page = pageOf(root)) openFileDialog(*page, false);
}

void onExport(GtkButton*, gpointer root) {
  if (Page* page = pageOf(root)) openFileDialog(*page, true);
}

// Another program (the input method adding a phrase, an editor) may have
// changed the files while the window was away.
gboolean onFocusIn(GtkWidget*, GdkEvent*, gpointer root) {
  refresh(GTK_WIDGET(root));
  return FALSE;
}

GtkWidget* namedButton(const char* label, const char* name) {
  GtkWidget* button = gtk_button_new_with_mnemonic(label);
  gtk_widget_set_name(button, name);
  return button;
}

GtkWidget* leftLabel(const char* text) {
  GtkWidget* label = gtk_label_new(text);
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  return label;
}

// Rows of one height: Bopomofo and tone marks often come from another font
// than the characters, with other line heights.
// Long texts are cut with an ellipsis rather than widening the window.
// A label whose underlined key (with Alt) takes the keyboard to `target`.
GtkWidget* mnemonicLabel(const char* text, GtkWidget* target) {
  GtkWidget* label = gtk_label_new_with_mnemonic(text);
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_mnemonic_widget(GTK_LABEL(label), target);
  return label;
}

void addColumn(GtkWidget* list, const char* title, Column column, bool expand) {
  GtkCellRenderer* renderer = gtk_cell_renderer_text_new();
  if (expand) g_object_set(renderer, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
  PangoLayout* layout = gtk_widget_create_pango_layout(list, "測ㄘㄜˋ˙Ag");
  int height = 0;
  pango_layout_get_pixel_size(layout, nullptr, &height);
  g_object_unref(layout);
  gint ypad = 0;
  gtk_cell_renderer_get_padding(renderer, nullptr, &ypad);
  gtk_cell_renderer_set_fixed_size(renderer, -1, height + 2 * ypad);
  GtkTreeViewColumn* view =
      gtk_tree_view_column_new_with_attributes(title, renderer, "text", column, nullptr);
  gtk_tree_view_column_set_resizable(view, TRUE);
  gtk_tree_view_column_set_expand(view, expand);
  gtk_tree_view_append_column(GTK_TREE_VIEW(list), view);
}

}  // namespace

void refresh(GtkWidget* root) {
  Page* page = pageOf(root);
  if (page && page->book->refreshIfChanged()) refreshList(*page);
}

GtkWidget* create(GtkWindow* window, const Place& place) {
  auto owned = std::make_unique<Page>();
  Page& page = *owned;
  page.window = window;
  page.book = std::make_unique<PhraseBook>(place.dataRoot, place.userDirectory, place.layout);

  GtkWidget* root = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
  page.root = root;
  gtk_container_set_border_width(GTK_CONTAINER(root), 4);
  g_object_set_data_full(G_OBJECT(root), kPageKey, owned.release(),
                         [](gpointer data) { delete static_cast<Page*>(data); });

  page.search = gtk_search_entry_new();
  gtk_widget_set_name(page.search, "phrases-search");
  gtk_entry_set_placeholder_text(GTK_ENTRY(page.search), "搜尋詞或注音（注音符號或鍵盤按鍵）");
  gtk_box_pack_start(GTK_BOX(root), page.search, FALSE, FALSE, 0);

  page.store =
      gtk_list_store_new(5, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_INT);
  page.list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(page.store));
  g_object_unref(page.store);
  gtk_widget_set_name(page.list, "phrases-list");
  addColumn(page.list, "詞", kValueColumn, true);
  addColumn(page.list, "注音", kReadingColumn, true);
  addColumn(page.list, "來源", kSourceColumn, false);
  addColumn(page.list, "備註", kDetailColumn, true);
  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER,
                                 GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_min_content_height(GTK_SCROLLED_WINDOW(scrolled), 200);
  gtk_scrolled_window_set_min_content_width(GTK_SCROLLED_WINDOW(scrolled), 440);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
  gtk_container_add(GTK_CONTAINER(scrolled), page.list);
  gtk_box_pack_start(GTK_BOX(root), scrolled, TRUE, TRUE, 0);

  GtkWidget* actions = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
  page.remove = namedButton("移除(_R)", "phrases-remove");
  page.exclude = namedButton("排除(_E)", "phrases-exclude");
  page.undo = namedButton("復原(_U)", "phrases-undo");
  GtkWidget* importButton = namedButton("匯入(_I)…", "phrases-import");
  GtkWidget* exportButton = namedButton("匯出(_X)…", "phrases-export");
  for (GtkWidget* button : {page.remove, page.exclude, page.undo}) {
    gtk_box_pack_start(GTK_BOX(actions), button, FALSE, FALSE, 0);
  }
  gtk_box_pack_end(GTK_BOX(actions), exportButton, FALSE, FALSE, 0);
  gtk_box_pack_end(GTK_BOX(actions), importButton, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(root), actions, FALSE, FALSE, 0);

  GtkWidget* frame = gtk_frame_new("加入新詞");
  GtkWidget* form = gtk_grid_new();
  gtk_container_set_border_width(GTK_CONTAINER(form), 4);
  gtk_grid_set_row_spacing(GTK_GRID(form), 4);
  gtk_grid_set_column_spacing(GTK_GRID(form), 4);
  page.value = gtk_entry_new();
  gtk_widget_set_name(page.value, "phrases-value");
  gtk_widget_set_hexpand(page.value, TRUE);
  page.reading = gtk_entry_new();
  gtk_widget_set_name(page.reading, "phrases-reading");
  gtk_entry_set_placeholder_text(GTK_ENTRY(page.reading), "注音符號或鍵盤按鍵");
  page.choicesBox = gtk_flow_box_new();
  gtk_widget_set_name(page.choicesBox, "phrases-choices");
  gtk_flow_box_set_selection_mode(GTK_FLOW_BOX(page.choicesBox), GTK_SELECTION_NONE);
  gtk_flow_box_set_max_children_per_line(GTK_FLOW_BOX(page.choicesBox), 8);
  page.add = namedButton("加入(_A)", "phrases-add");
  page.verdict = leftLabel("");
  gtk_widget_set_name(page.verdict, "phrases-verdict");
  gtk_grid_attach(GTK_GRID(form), mnemonicLabel("詞(_W)：", page.value), 0, 0, 1, 1);
  gtk_grid_attach(GTK_GRID(form), page.value, 1, 0, 1, 1);
  gtk_grid_attach(GTK_GRID(form), mnemonicLabel("注音(_P)：", page.reading), 0, 1, 1, 1);
  gtk_grid_attach(GTK_GRID(form), page.reading, 1, 1, 1, 1);
  gtk_grid_attach(GTK_GRID(form), page.add, 2, 1, 1, 1);
  gtk_grid_attach(GTK_GRID(form), page.choicesBox, 1, 2, 2, 1);
  gtk_grid_attach(GTK_GRID(form), page.verdict, 1, 3, 2, 1);
  gtk_container_add(GTK_CONTAINER(frame), form);
  gtk_box_pack_start(GTK_BOX(root), frame, FALSE, FALSE, 0);

  page.status = leftLabel("");
  gtk_widget_set_name(page.status, "phrases-status");
  gtk_label_set_line_wrap(GTK_LABEL(page.status), TRUE);
  gtk_label_set_selectable(GTK_LABEL(page.status), TRUE);
  gtk_box_pack_start(GTK_BOX(root), page.status, FALSE, FALSE, 0);

  g_signal_connect_object(page.search, "search-changed", G_CALLBACK(onSearchChanged), root,
                          G_CONNECT_DEFAULT);
  g_signal_connect_object(gtk_tree_view_get_selection(GTK_TREE_VIEW(page.list)), "changed",
                          G_CALLBACK(onSelectionChanged), root, G_CONNECT_DEFAULT);
  g_signal_connect_object(page.remove, "clicked", G_CALLBACK(onRemove), root, G_CONNECT_DEFAULT);
  g_signal_connect_object(page.exclude, "clicked", G_CALLBACK(onExclude), root, G_CONNECT_DEFAULT);
  g_signal_connect_object(page.undo, "clicked", G_CALLBACK(onUndo), root, G_CONNECT_DEFAULT);
  g_signal_connect_object(importButton, "clicked", G_CALLBACK(onImport), root, G_CONNECT_DEFAULT);
  g_signal_connect_object(exportButton, "clicked", G_CALLBACK(onExport), root, G_CONNECT_DEFAULT);
  g_signal_connect_object(page.value, "changed", G_CALLBACK(onValueChanged), root,
                          G_CONNECT_DEFAULT);
  g_signal_connect_object(page.reading, "changed", G_CALLBACK(onReadingChanged), root,
                          G_CONNECT_DEFAULT);
  g_signal_connect_object(page.value, "activate", G_CALLBACK(onAdd), root, G_CONNECT_DEFAULT);
  g_signal_connect_object(page.reading, "activate", G_CALLBACK(onAdd), root, G_CONNECT_DEFAULT);
  g_signal_connect_object(page.add, "clicked", G_CALLBACK(onAdd), root, G_CONNECT_DEFAULT);
  g_signal_connect_object(window, "focus-in-event", G_CALLBACK(onFocusIn), root, G_CONNECT_DEFAULT);

  refreshList(page);
  updateVerdict(page);
  return root;
}

}  // namespace Kestova::PhrasesPage
