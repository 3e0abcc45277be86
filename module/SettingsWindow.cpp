#include "module/SettingsWindow.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/Settings.h"
#include "gtkui/PhrasesPage.h"
#include "models/LanguageModelLoader.h"
#include "models/UserFilesEditor.h"

namespace Kestova {
namespace {

constexpr char kWindowTitle[] = "gcin Kestova設定";
constexpr char kSaveFailedMessage[] = "無法儲存Kestova的設定";
constexpr char kSettingsPageLabel[] = "設定";
constexpr char kPhrasesPageLabel[] = "自訂詞庫";
constexpr char kCancelLabel[] = "取消(_C)";
constexpr char kOkLabel[] = "確定(_O)";
constexpr char kForgetLabel[] = "忘記學過的詞";
constexpr char kForgetQuestion[] = "要忘記所有學過的詞嗎？";
constexpr char kForgetExplanation[] =
    "輸入法從你選過的詞學到的詞會全部忘記，記在 learnt.txt 裡的也一樣。這個動作無法復原。";
constexpr char kForgetConfirmLabel[] = "忘記(_F)";
constexpr char kForgottenMessage[] = "已忘記學過的詞";
constexpr char kForgetFailedMessage[] = "無法忘記學過的詞";

// The open window and the widgets the save action reads. The widgets belong to
// GTK; these are borrowed pointers, all cleared when the window is destroyed.
struct OpenWindow {
  GtkWidget* window = nullptr;
  std::array<GtkWidget*, kBoolOptions.size()> checkButtons{};
  GtkWidget* ctrlEnterCombo = nullptr;
  GtkWidget* forgetStatus = nullptr;
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

// The window grows when the phrase page is built and as it shows more; it
// moves up and left as far as needed to stay on its monitor.
void keepOnScreen(GtkWidget* window, GdkRectangle* allocation, gpointer) {
  GdkWindow* surface = gtk_widget_get_window(window);
  if (!surface) return;
  GdkMonitor* monitor = gdk_display_get_monitor_at_window(gtk_widget_get_display(window), surface);
  if (!monitor) return;
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  int x = 0;
  int y = 0;
  gtk_window_get_position(GTK_WINDOW(window), &x, &y);
  const int newX = std::max(area.x, std::min(x, area.x + area.width - allocation->width));
  const int newY = std::max(area.y, std::min(y, area.y + area.height - allocation->height));
  if (newX != x || newY != y) gtk_window_move(GTK_WINDOW(window), newX, newY);
}

void onSwitchPage(GtkNotebook*, GtkWidget* page, guint number, gpointer) {
  if (number != 1 || !gOpen.window) return;
  GList* children = gtk_container_get_children(GTK_CONTAINER(page));
  GtkWidget* built = children ? GTK_WIDGET(children->data) : nullptr;
  g_list_free(children);
  // Shown again: what changed meanwhile (a forget on the settings page,
  // the input method learning) is listed.
  if (built) {
    PhrasesPage::refresh(built);
    return;
  }
  const PhrasesPage::Place place{
      moduleDataRoot(), moduleUserDirectory(),
      keyboardLayoutNamed(readKeyboardFile(keyboardFilePath()).keyboardName)};
  GtkWidget* phrases = PhrasesPage::create(GTK_WINDOW(gOpen.window), place);
  gtk_box_pack_start(GTK_BOX(page), phrases, TRUE, TRUE, 0);
  gtk_widget_show_all(phrases);
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
  // What the window does not show keeps what the file says.
  const std::string path = settingsFilePath();
  Options options = readOptions(path);
  for (size_t i = 0; i < kBoolOptions.size(); ++i) {
    options.*kBoolOptions[i].field =
        gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(gOpen.checkButtons[i]));
  }
  // No active entry gives -1, which is saved as "disabled".
  options.ctrl_enter = ctrlEnterMode(gtk_combo_box_get_active(GTK_COMBO_BOX(gOpen.ctrlEnterCombo)));
  if (writeOptions(path, options)) {
    gtk_widget_destroy(gOpen.window);
    return;
  }
  // Nothing was written; the window stays open with the user's choices.
  showSaveFailedDialog();
}

// Forgetting reaches a running input method through the learnt-word file,
// which it watches (LearntWordStore); it happens at once, like the edits of
// the phrase page, not with OK.
void forgetLearntWords() {
  const std::string directory =
      moduleUserDirectory() + "/" + std::string(LanguageModelLoader::kUserFilesDirectoryName);
  const UserFilesEditor::Outcome outcome = UserFilesEditor(directory).forgetLearntWords();
  const std::string message =
      outcome.ok ? std::string(kForgottenMessage)
                 : std::string(kForgetFailedMessage) + "（" + outcome.failure + "）";
  if (gOpen.forgetStatus) gtk_label_set_text(GTK_LABEL(gOpen.forgetStatus), message.c_str());
}

void onForgetDialogResponse(GtkDialog* dialog, gint response, gpointer) {
  gtk_widget_destroy(GTK_WIDGET(dialog));
  if (response == GTK_RESPONSE_ACCEPT && gOpen.window) forgetLearntWords();
}

// Asked first: nothing brings the words back. The buttons are in Chinese
// like the rest of the window, whatever the locale; Cancel is the default.
void onForgetClicked(GtkButton*, gpointer) {
  if (!gOpen.window) return;
  GtkWidget* dialog = gtk_message_dialog_new(
      GTK_WINDOW(gOpen.window),
      static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE, "%s", kForgetQuestion);
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", kForgetExplanation);
  gtk_dialog_add_buttons(GTK_DIALOG(dialog), kCancelLabel, GTK_RESPONSE_CANCEL, kForgetConfirmLabel,
                         GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
  g_signal_connect(dialog, "response", G_CALLBACK(onForgetDialogResponse), nullptr);
  gtk_widget_show(dialog);
}

// A row of the settings page as gcin's own setup windows lay them out: the
// label at the left, the control right after it.
void addRow(GtkWidget* column, std::string_view text, GtkWidget* control) {
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
  gtk_box_set_homogeneous(GTK_BOX(row), FALSE);
  gtk_box_pack_start(GTK_BOX(column), row, FALSE, FALSE, 1);
  GtkWidget* label = gtk_label_new(std::string(text).c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), control, FALSE, FALSE, 0);
}

// The options of the settings file: a check box for each, the button that
// forgets the learnt words, the Ctrl+Enter list.
GtkWidget* buildSettingsPage(const Options& options) {
  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 3);
  gtk_box_set_homogeneous(GTK_BOX(column), FALSE);
  gtk_container_set_border_width(GTK_CONTAINER(column), 4);

  for (size_t i = 0; i < kBoolOptions.size(); ++i) {
    GtkWidget* check = gtk_check_button_new();
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), options.*kBoolOptions[i].field);
    gOpen.checkButtons[i] = check;
    addRow(column, kBoolOptions[i].label, check);
  }

  // Under the learning check boxes, the last two: the button, and what
  // became of the last forget.
  static_assert(kBoolOptions.back().key == "remember_learnt_words");
  GtkWidget* forgetRow = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
  gtk_box_pack_start(GTK_BOX(column), forgetRow, FALSE, FALSE, 1);
  GtkWidget* forget = gtk_button_new_with_label(kForgetLabel);
  gtk_widget_set_name(forget, "forget-learnt-words");
  g_signal_connect(forget, "clicked", G_CALLBACK(onForgetClicked), nullptr);
  gtk_box_pack_start(GTK_BOX(forgetRow), forget, FALSE, FALSE, 0);
  gOpen.forgetStatus = gtk_label_new("");
  gtk_widget_set_name(gOpen.forgetStatus, "forget-learnt-status");
  gtk_label_set_xalign(GTK_LABEL(gOpen.forgetStatus), 0);
  // A failure's reason wraps rather than widening the window.
  gtk_label_set_line_wrap(GTK_LABEL(gOpen.forgetStatus), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(gOpen.forgetStatus), 16);
  gtk_box_pack_start(GTK_BOX(forgetRow), gOpen.forgetStatus, FALSE, FALSE, 0);

  GtkWidget* combo = gtk_combo_box_text_new();
  for (const CtrlEnterChoice& choice : kCtrlEnterChoices) {
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), std::string(choice.label).c_str());
  }
  gtk_combo_box_set_active(GTK_COMBO_BOX(combo), static_cast<int>(options.ctrl_enter));
  gOpen.ctrlEnterCombo = combo;
  addRow(column, kCtrlEnterLabel, combo);
  return column;
}

void buildWindow() {
  const Options options = readOptions(settingsFilePath());

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
  g_signal_connect(window, "size-allocate", G_CALLBACK(keepOnScreen), nullptr);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 3);
  gtk_box_set_homogeneous(GTK_BOX(column), FALSE);
  gtk_container_add(GTK_CONTAINER(window), column);

  // The settings are saved by OK; the phrases change as they are edited.
  // The phrase page is built when it is first shown: until then neither
  // the phrase data nor the user files are touched.
  GtkWidget* notebook = gtk_notebook_new();
  gtk_notebook_append_page(GTK_NOTEBOOK(notebook), buildSettingsPage(options),
                           gtk_label_new(kSettingsPageLabel));
  gtk_notebook_append_page(GTK_NOTEBOOK(notebook), gtk_box_new(GTK_ORIENTATION_VERTICAL, 0),
                           gtk_label_new(kPhrasesPageLabel));
  g_signal_connect(notebook, "switch-page", G_CALLBACK(onSwitchPage), nullptr);
  gtk_box_pack_start(GTK_BOX(column), notebook, TRUE, TRUE, 0);

  GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
  gtk_box_set_homogeneous(GTK_BOX(buttons), FALSE);
  gtk_box_pack_start(GTK_BOX(column), buttons, FALSE, FALSE, 5);
  // In Chinese like the rest of the window, whatever the locale.
  GtkWidget* cancel = gtk_button_new_with_mnemonic(kCancelLabel);
  GtkWidget* ok = gtk_button_new_with_mnemonic(kOkLabel);

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
