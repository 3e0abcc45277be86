#include "module/SettingsWindow.h"

#include <gtk/gtk.h>

#include <array>
#include <cstdint>
#include <cstdio>

#include "module/ModuleConfig.h"

namespace Kestova {
namespace {

struct OptionRow {
  const char* label;
  int32_t ModuleConfig::*field;
};

// One check box per boolean option, top to bottom.
constexpr std::array<OptionRow, 8> kOptionRows = {{
    {"空白鍵叫出候選字", &ModuleConfig::choose_candidate_using_space},
    {"候選字取游標後的詞", &ModuleConfig::select_phrase_after_cursor},
    {"選字後游標移到詞後", &ModuleConfig::move_cursor_after_selection},
    {"ESC 鍵清空編輯區", &ModuleConfig::esc_clears_buffer},
    {"保留打錯的注音以便修改", &ModuleConfig::keep_invalid_syllable},
    {"Shift + 字母以小寫放進編輯區", &ModuleConfig::put_lowercase_to_buffer},
    {"半形標點", &ModuleConfig::half_width_punctuation},
    {"重複按標點鍵選下一個候選字", &ModuleConfig::repeated_punctuation_selects},
}};

// Combo box entries; entry i stands for ctrl_enter index i.
constexpr std::array<const char*, kCtrlEnterModeCount> kCtrlEnterLabels = {
    "不使用", "注音", "HTML Ruby", "漢語拼音", "點字 (Unicode)", "點字 (ASCII)"};

constexpr char kWindowTitle[] = "gcin Kestova設定";
constexpr char kSaveFailedMessage[] = "無法儲存Kestova的設定";

// The open window and the widgets the save action reads. The widgets belong to
// GTK; these are borrowed pointers, all cleared when the window is destroyed.
struct OpenWindow {
  GtkWidget* window = nullptr;
  std::array<GtkWidget*, kOptionRows.size()> checkButtons{};
  GtkWidget* ctrlEnterCombo = nullptr;
};

OpenWindow gOpen;

void onWindowDestroyed(GtkWidget*, gpointer) {
  gOpen = OpenWindow{};
}

gboolean onDeleteEvent(GtkWidget* window, GdkEvent*, gpointer) {
  gtk_widget_destroy(window);
  return TRUE;
}

void onCancelClicked(GtkButton*, gpointer) {
  if (gOpen.window) gtk_widget_destroy(gOpen.window);
}

void onErrorDialogResponse(GtkDialog* dialog, gint, gpointer) {
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

// The dialog is modal but does not run a main loop of its own: the host's
// loop keeps running, and the dialog goes away when it is answered (or with
// the settings window).
void showSaveFailedDialog() {
  GtkWidget* dialog = gtk_message_dialog_new(
      GTK_WINDOW(gOpen.window),
      static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", kSaveFailedMessage);
  g_signal_connect(dialog, "response", G_CALLBACK(onErrorDialogResponse), nullptr);
  gtk_widget_show(dialog);
}

void onOkClicked(GtkButton*, gpointer) {
  if (!gOpen.window) return;
  ModuleConfig config = defaultModuleConfig();
  for (size_t i = 0; i < kOptionRows.size(); ++i) {
    config.*kOptionRows[i].field =
        gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(gOpen.checkButtons[i])) ? 1 : 0;
  }
  // No active entry gives -1, which is saved as "disabled".
  config.ctrl_enter = gtk_combo_box_get_active(GTK_COMBO_BOX(gOpen.ctrlEnterCombo));
  if (kestova_conf_save(&config)) {
    gtk_widget_destroy(gOpen.window);
    return;
  }
  // Nothing was written; the window stays open with the user's choices.
  showSaveFailedDialog();
}

// A row of the window: the label on the left, taking the spare width, and the
// control on the right.
void addRow(GtkWidget* column, const char* text, GtkWidget* control) {
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_box_set_homogeneous(GTK_BOX(row), FALSE);
  gtk_box_pack_start(GTK_BOX(column), row, TRUE, TRUE, 1);
  gtk_box_pack_start(GTK_BOX(row), gtk_label_new(text), TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(row), control, FALSE, FALSE, 0);
}

void buildWindow() {
  ModuleConfig config;
  kestova_conf_load(&config);

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gOpen.window = window;
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_MOUSE);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_window_set_has_resize_grip(GTK_WINDOW(window), FALSE);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_window_set_title(GTK_WINDOW(window), kWindowTitle);
  gtk_container_set_border_width(GTK_CONTAINER(window), 3);
  g_signal_connect(window, "delete_event", G_CALLBACK(onDeleteEvent), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(onWindowDestroyed), nullptr);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 3);
  gtk_box_set_homogeneous(GTK_BOX(column), FALSE);
  gtk_container_add(GTK_CONTAINER(window), column);

  for (size_t i = 0; i < kOptionRows.size(); ++i) {
    GtkWidget* check = gtk_check_button_new();
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), config.*kOptionRows[i].field != 0);
    gOpen.checkButtons[i] = check;
    addRow(column, kOptionRows[i].label, check);
  }

  GtkWidget* combo = gtk_combo_box_text_new();
  for (const char* label : kCtrlEnterLabels) {
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), label);
  }
  // The loader only stores valid indexes; anything else is shown as the default.
  int mode = config.ctrl_enter;
  if (mode < 0 || mode >= kCtrlEnterModeCount) mode = 0;
  gtk_combo_box_set_active(GTK_COMBO_BOX(combo), mode);
  gOpen.ctrlEnterCombo = combo;
  addRow(column, "Ctrl + Enter 送出", combo);

  GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
  gtk_box_set_homogeneous(GTK_BOX(buttons), FALSE);
  gtk_box_pack_start(GTK_BOX(column), buttons, FALSE, FALSE, 5);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GtkWidget* cancel = gtk_button_new_from_stock("gtk-cancel");
  GtkWidget* ok = gtk_button_new_from_stock("gtk-ok");
  G_GNUC_END_IGNORE_DEPRECATIONS

  // Desktops that want the affirmative button first set this; packing both
  // from the end then shows OK to the left of Cancel.
  gboolean alternativeOrder = FALSE;
  g_object_get(gtk_widget_get_settings(window), "gtk-alternative-button-order", &alternativeOrder,
               nullptr);
  if (alternativeOrder) {
    gtk_box_pack_end(GTK_BOX(buttons), cancel, TRUE, TRUE, 0);
    gtk_box_pack_end(GTK_BOX(buttons), ok, TRUE, TRUE, 5);
  } else {
    gtk_box_pack_start(GTK_BOX(buttons), cancel, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(buttons), ok, TRUE, TRUE, 5);
  }
  g_signal_connect(cancel, "clicked", G_CALLBACK(onCancelClicked), nullptr);
  g_signal_connect(ok, "clicked", G_CALLBACK(onOkClicked), nullptr);

  gtk_widget_show_all(window);
}

}  // namespace
}  // namespace Kestova

void module_setup_window_create(void) {
  using Kestova::gOpen;
  if (gOpen.window) {
    gtk_window_present(GTK_WINDOW(gOpen.window));
    return;
  }
  // Without a display GTK cannot build a window; a caller that never set GTK
  // up gets nothing rather than a crash.
  if (!gdk_display_get_default()) {
    std::fprintf(stderr, "gcin kestova Warn: no display for the settings window\n");
    std::fflush(stderr);
    return;
  }
  Kestova::buildWindow();
}
