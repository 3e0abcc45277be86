/* A minimal GTK 3 window with one text entry, used as the application in the
 * end-to-end tests with the real gcin. It reports on standard output, one
 * line per event:
 *
 *   READY <xid>          the window is mapped and the entry has the focus
 *   PREEDIT "<text>"     the on-the-spot preedit changed
 *   ATTRS <list>         the preedit's attributes as the entry lays them out,
 *                        after each preedit change: "underline:S-E",
 *                        "foreground:S-E:#rrrrggggbbbb" or
 *                        "background:S-E:#rrrrggggbbbb" (S, E in characters of
 *                        the preedit), separated by spaces; "-" for none
 *   TEXT "<text>"        the entry's text changed
 *   FINAL "<text>"       the entry's text at exit (SIGTERM or SIGINT)
 *
 * Arguments: optionally X Y, where to put the window (default 20 20).
 */
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static GtkWidget* entry;
static glong preeditStart; /* characters of entry text before the preedit */
static glong preeditLength;
static guint attrsPending;

static void on_changed(GtkEditable* editable, gpointer unused) {
  (void)unused;
  printf("TEXT \"%s\"\n", gtk_entry_get_text(GTK_ENTRY(editable)));
}

/* Byte offset in the layout's text to a character offset in the preedit. */
static glong preeditCharacter(const char* text, guint byteIndex) {
  return g_utf8_pointer_to_offset(text, text + byteIndex) - preeditStart;
}

static gboolean print_attrs(gpointer unused) {
  (void)unused;
  attrsPending = 0;
  PangoLayout* layout = gtk_entry_get_layout(GTK_ENTRY(entry));
  const char* text = pango_layout_get_text(layout);
  PangoAttrList* list = pango_layout_get_attributes(layout);
  GString* out = g_string_new("");
  if (list && preeditLength > 0) {
    PangoAttrIterator* it = pango_attr_list_get_iterator(list);
    GSList* seen = NULL;
    do {
      GSList* attrs = pango_attr_iterator_get_attrs(it);
      for (GSList* a = attrs; a; a = a->next) {
        PangoAttribute* attr = a->data;
        glong start = preeditCharacter(text, attr->start_index);
        glong end = preeditCharacter(text, MIN(attr->end_index, (guint)strlen(text)));
        if (end <= 0 || start >= preeditLength) continue;
        if (start < 0) start = 0;
        if (end > preeditLength) end = preeditLength;
        char item[96];
        item[0] = '\0';
        switch (attr->klass->type) {
          case PANGO_ATTR_UNDERLINE:
            if (((PangoAttrInt*)attr)->value != PANGO_UNDERLINE_NONE) {
              snprintf(item, sizeof item, "underline:%ld-%ld", start, end);
            }
            break;
          case PANGO_ATTR_FOREGROUND:
          case PANGO_ATTR_BACKGROUND: {
            PangoColor c = ((PangoAttrColor*)attr)->color;
            snprintf(item, sizeof item, "%s:%ld-%ld:#%04x%04x%04x",
                     attr->klass->type == PANGO_ATTR_FOREGROUND ? "foreground" : "background",
                     start, end, c.red, c.green, c.blue);
            break;
          }
          default:
            break;
        }
        if (item[0] && !g_slist_find_custom(seen, item, (GCompareFunc)strcmp)) {
          seen = g_slist_prepend(seen, g_strdup(item));
          g_string_append_printf(out, "%s%s", out->len ? " " : "", item);
        }
      }
      g_slist_free_full(attrs, (GDestroyNotify)pango_attribute_destroy);
    } while (pango_attr_iterator_next(it));
    pango_attr_iterator_destroy(it);
    g_slist_free_full(seen, g_free);
  }
  printf("ATTRS %s\n", out->len ? out->str : "-");
  g_string_free(out, TRUE);
  return G_SOURCE_REMOVE;
}

static void on_preedit(GtkEntry* e, gchar* preedit, gpointer unused) {
  (void)unused;
  printf("PREEDIT \"%s\"\n", preedit ? preedit : "");
  preeditStart = gtk_editable_get_position(GTK_EDITABLE(e));
  preeditLength = preedit ? g_utf8_strlen(preedit, -1) : 0;
  /* The entry lays the preedit out after the signal. */
  if (!attrsPending) attrsPending = g_idle_add(print_attrs, NULL);
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
  const int x = argc > 2 ? atoi(argv[1]) : 20;
  const int y = argc > 2 ? atoi(argv[2]) : 20;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "kestova-e2e-client");
  gtk_window_set_default_size(GTK_WINDOW(window), 400, 60);
  gtk_window_move(GTK_WINDOW(window), x, y);
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
