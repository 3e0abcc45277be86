// The gcin host's function table and preedit attribute record, as the host
// hands them to the module. The layout is fixed by the host: 46 pointer-sized
// slots, in order, some holding functions and some holding the addresses of
// host variables. Slots the module never touches are kept as opaque pointers.
#pragma once

#include <cstddef>
#include <cstdint>

// Exported entry points: plain C names, visible from the shared object.
#define KESTOVA_EXPORT extern "C" __attribute__((visibility("default")))

// GTK widgets travel through the table as opaque pointers so that this header
// does not pull GTK into every user of the table.
typedef struct _GtkWidget GtkWidget;

extern "C" {

typedef int (*KestovaPickCallback)(int row);
typedef void (*KestovaPageCallback)();

struct HostFunctions {
  void (*on_window_shown)();                                     // 0
  void (*on_window_hidden)();                                    // 1
  void (*on_window_moved)();                                     // 2
  void* unused3;                                                 // 3
  void (*on_window_built)();                                     // 4
  void (*clear_candidates)();                                    // 5
  void (*show_candidates_at)(int x, int y);                      // 6
  void (*hide_candidates)();                                     // 7
  void (*mark_previous_page)();                                  // 8
  void (*mark_next_page)();                                      // 9
  void (*set_candidate)(int row, const char* text, int length);  // 10
  void (*register_candidate_callbacks)(KestovaPickCallback pick, KestovaPageCallback previous,
                                       KestovaPageCallback next);  // 11
  // Sets the application's Chinese (1) or English (0) mode, which gcin keeps
  // for each application, shows in its own indicator and answers with
  // accepts_keys (0 in English).
  void (*set_chinese_mode)(int chinese);                                // 12
  void (*begin_module)();                                               // 13
  int (*accepts_keys)();                                                // 14
  void* unused15;                                                       // 15
  void (*get_window_size)(GtkWidget* window, int* width, int* height);  // 16
  void (*style_window)(GtkWidget* window);                              // 17
  void (*set_label_font_size)(GtkWidget* label, int size);              // 18
  void (*adopt_window)(GtkWidget* window);                              // 19
  void* unused20;                                                       // 20
  // printf-style in the real host: always call it as report_error("%s", text).
  void (*report_error)(const char* format, ...);  // 21
  void* unused22;                                 // 22
  int (*window_suppressed)();                     // 23
  void* unused24_26[3];                           // 24-26
  void (*commit_text)(const char* text);          // 27
  void* unused28_33[6];                           // 28-33
  int* font_size;                                 // 34
  void* unused35;                                 // 35
  char** cursor_foreground;                       // 36
  void* unused37;                                 // 37
  char** cursor_background;                       // 38
  int* show_window_when_empty;                    // 39
  int* window_x;                                  // 40
  int* window_y;                                  // 41
  int* window_width;                              // 42
  int* window_height;                             // 43
  int* screen_width;                              // 44
  int* screen_height;                             // 45
};

// The host's candidate window has this many rows; a row beyond them makes
// gcin write past its table.
inline constexpr std::size_t kHostCandidateRows = 16;

// One attribute run of the preedit text; start and end count characters.
struct PreeditAttribute {
  int32_t kind;
  int16_t start;
  int16_t end;
};

}  // extern "C"

static_assert(sizeof(void*) == 8, "the host table is laid out for 64-bit pointers");
static_assert(sizeof(HostFunctions) == 368, "the host table has 46 pointer-sized slots");
static_assert(offsetof(HostFunctions, report_error) == 21 * 8);
static_assert(offsetof(HostFunctions, commit_text) == 27 * 8);
static_assert(offsetof(HostFunctions, font_size) == 34 * 8);
static_assert(offsetof(HostFunctions, screen_height) == 45 * 8);
static_assert(sizeof(PreeditAttribute) == 8);
