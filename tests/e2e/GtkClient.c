/* A minimal GTK 3 window with one text entry, used as the application in the
 * end-to-end tests with the real gcin. It reports on standard output, one
 * line per event:
 *
 *   READY <xid>          the window is mapped and the entry has the focus
 *   PREEDIT "<text>"     the on-the-spot preedit changed
 *   TEXT "<text>"        the entry's text changed
 *   FINAL "<text>"       the entry's text at exit (SIGTERM or SIGINT)
 */
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <stdio.h>

static GtkWidget* entry;

static void on_changed(GtkEditable* editable, gpointer unused) {
  (void)unused;
  printf("TEXT \"%s\"\n", gtk_entry_get_text(GTK_ENTRY(editable)));
}

static void on_preedit(GtkEntry* e, gchar* preedit, gpointer unused) {
  (void)e;
  (void)unused;
  printf("PREEDIT \"%s\"\n", preedit ? preedit : "");
}

static gboolean finish(gpointer unused) {
  (void)unused;
  printf("FINAL \"%s\"\n", gtk_entry_get_text(GTK_ENTRY(entry)));
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

static gboolean on_mapped(GtkWidget* window, GdkEvent* event, gpointer unused) {
  (void)event;
  (void)unused;
  gtk_widget_grab_focus(entry);
  printf("READY 0x%lx\n", (unsigned long)GDK_WINDOW_XID(gtk_widget_get_window(window)));
  return FALSE;
}

int main(int argc, char** argv) {
  setvbuf(stdout, NULL, _IOLBF, 0);
  gtk_init(&argc, &argv);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "kestova-e2e-client");
  gtk_window_set_default_size(GTK_WINDOW(window), 400, 60);
  gtk_window_move(GTK_WINDOW(window), 20, 20);
  entry = gtk_entry_new();
  gtk_container_add(GTK_CONTAINER(window), entry);
  g_signal_connect(entry, "changed", G_CALLBACK(on_changed), NULL);
  g_signal_connect(entry, "preedit-changed", G_CALLBACK(on_preedit), NULL);
  g_signal_connect(window, "map-event", G_CALLBACK(on_mapped), NULL);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
  g_unix_signal_add(SIGTERM, finish, NULL);
  g_unix_signal_add(SIGINT, finish, NULL);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
