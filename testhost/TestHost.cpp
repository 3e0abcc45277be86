#include "testhost/TestHost.h"

#include <dlfcn.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace Kestova {

namespace {
TestHost* current = nullptr;
}  // namespace

// The host functions: each records its slot and acts on the current host.
struct TestHost::Callbacks {
  template <typename Member>
  static void note(Member HostFunctions::*slot) {
    if (current) current->record(slotOf(slot));
  }
  static void windowShown() { note(&HostFunctions::on_window_shown); }
  static void windowHidden() { note(&HostFunctions::on_window_hidden); }
  static void windowMoved() { note(&HostFunctions::on_window_moved); }
  static void windowBuilt() { note(&HostFunctions::on_window_built); }
  static void clearCandidates() {
    note(&HostFunctions::clear_candidates);
    if (!current) return;
    current->candidates_.rows.clear();
    current->candidates_.previousMarked = false;
    current->candidates_.nextMarked = false;
  }
  static void showCandidatesAt(int x, int y) {
    note(&HostFunctions::show_candidates_at);
    if (!current) return;
    current->candidates_.shown = true;
    current->candidates_.x = x;
    current->candidates_.y = y;
  }
  static void hideCandidates() {
    note(&HostFunctions::hide_candidates);
    if (current) current->candidates_.shown = false;
  }
  static void markPreviousPage() {
    note(&HostFunctions::mark_previous_page);
    if (current) current->candidates_.previousMarked = true;
  }
  static void markNextPage() {
    note(&HostFunctions::mark_next_page);
    if (current) current->candidates_.nextMarked = true;
  }
  static void setCandidate(int row, const char* text, int length) {
    note(&HostFunctions::set_candidate);
    if (!current) return;
    current->candidates_.rows[row] = length < 0 ? std::string(text) : std::string(text, length);
  }
  static void registerCallbacks(KestovaPickCallback pick, KestovaPageCallback previous,
                                KestovaPageCallback next) {
    note(&HostFunctions::register_candidate_callbacks);
    if (!current) return;
    current->pick_ = pick;
    current->previous_ = previous;
    current->next_ = next;
  }
  // Like gcin: beginning the module puts the application in Chinese mode,
  // and the mode is what accepts_keys answers.
  static void setChineseMode(int chinese) {
    note(&HostFunctions::set_chinese_mode);
    if (current) current->acceptsKeys_ = chinese != 0 ? 1 : 0;
  }
  static void beginModule() {
    note(&HostFunctions::begin_module);
    if (current) current->acceptsKeys_ = 1;
  }
  static int acceptsKeys() {
    note(&HostFunctions::accepts_keys);
    return current ? current->acceptsKeys_ : 0;
  }
  static void getWindowSize(GtkWidget* window, int* width, int* height) {
    note(&HostFunctions::get_window_size);
    gtk_window_get_size(GTK_WINDOW(window), width, height);
  }
  static void styleWindow(GtkWidget*) { note(&HostFunctions::style_window); }
  static void setLabelFontSize(GtkWidget*, int) { note(&HostFunctions::set_label_font_size); }
  static void adoptWindow(GtkWidget*) { note(&HostFunctions::adopt_window); }
  // Formats like the real host does, so a stray "%" in a message shows up.
  static void reportError(const char* format, ...) {
    note(&HostFunctions::report_error);
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (current) current->errors_.emplace_back(buffer);
  }
  static int windowSuppressed() {
    note(&HostFunctions::window_suppressed);
    return current ? current->windowSuppressed_ : 0;
  }
  static void commitText(const char* text) {
    note(&HostFunctions::commit_text);
    if (!current) return;
    current->commits_.emplace_back(text);
    current->committed_ += text;
  }
};

std::unique_ptr<TestHost> TestHost::load(const std::string& modulePath, std::string* error) {
  if (current) {
    if (error) *error = "another TestHost is alive";
    return nullptr;
  }
  if (!gtk_init_check(nullptr, nullptr)) {
    if (error) *error = "cannot open the X display (is DISPLAY set?)";
    return nullptr;
  }
  void* handle = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) *error = dlerror();
    return nullptr;
  }
  std::unique_ptr<TestHost> host(new TestHost);
  host->handle_ = handle;
  host->buildTable();
  current = host.get();
  return host;
}

TestHost::~TestHost() {
  // The module keeps its core and GTK widgets for the life of the process, as
  // it does inside gcin, so it is never unloaded.
  if (current == this) current = nullptr;
}

void TestHost::record(int slot) {
  ++slotCalls_[static_cast<size_t>(slot)];
  callLog_.push_back(slot);
}

void TestHost::buildTable() {
  table_ = HostFunctions{};
  table_.on_window_shown = &Callbacks::windowShown;
  table_.on_window_hidden = &Callbacks::windowHidden;
  table_.on_window_moved = &Callbacks::windowMoved;
  table_.on_window_built = &Callbacks::windowBuilt;
  table_.clear_candidates = &Callbacks::clearCandidates;
  table_.show_candidates_at = &Callbacks::showCandidatesAt;
  table_.hide_candidates = &Callbacks::hideCandidates;
  table_.mark_previous_page = &Callbacks::markPreviousPage;
  table_.mark_next_page = &Callbacks::markNextPage;
  table_.set_candidate = &Callbacks::setCandidate;
  table_.register_candidate_callbacks = &Callbacks::registerCallbacks;
  table_.set_chinese_mode = &Callbacks::setChineseMode;
  table_.begin_module = &Callbacks::beginModule;
  table_.accepts_keys = &Callbacks::acceptsKeys;
  table_.get_window_size = &Callbacks::getWindowSize;
  table_.style_window = &Callbacks::styleWindow;
  table_.set_label_font_size = &Callbacks::setLabelFontSize;
  table_.adopt_window = &Callbacks::adoptWindow;
  table_.report_error = &Callbacks::reportError;
  table_.window_suppressed = &Callbacks::windowSuppressed;
  table_.commit_text = &Callbacks::commitText;
  table_.font_size = &variables_.fontSize;
  table_.cursor_foreground = &foreground_;
  table_.cursor_background = &background_;
  table_.show_window_when_empty = &variables_.showWindowWhenEmpty;
  table_.window_x = &variables_.windowX;
  table_.window_y = &variables_.windowY;
  table_.window_width = &variables_.windowWidth;
  table_.window_height = &variables_.windowHeight;
  table_.screen_width = &variables_.screenWidth;
  table_.screen_height = &variables_.screenHeight;
}

template <typename F>
F TestHost::symbol(const char* name) const {
  return reinterpret_cast<F>(dlsym(handle_, name));
}

int TestHost::initWin() {
  return initWin(table_);
}

int TestHost::initWin(const HostFunctions& table) {
  foreground_ = variables_.cursorForeground.data();
  background_ = variables_.cursorBackground.data();
  // The real host hands over a table on its stack; so does this one, and it
  // scribbles over it afterwards so a module that keeps the pointer fails.
  HostFunctions onStack = table;
  int result = symbol<int (*)(HostFunctions*)>("module_init_win")(&onStack);
  onStack = HostFunctions{};
  return result;
}

int TestHost::feedKey(unsigned keysym, unsigned state) {
  foreground_ = variables_.cursorForeground.data();
  background_ = variables_.cursorBackground.data();
  return symbol<int (*)(int, int)>("module_feedkey")(static_cast<int>(keysym),
                                                     static_cast<int>(state));
}

int TestHost::feedKeyRelease(unsigned keysym, unsigned state) {
  return symbol<int (*)(int, int)>("module_feedkey_release")(static_cast<int>(keysym),
                                                             static_cast<int>(state));
}

TestHost::Preedit TestHost::preedit() {
  Preedit preedit;
  char text[512];
  // Garbage in every output, as a host might leave it.
  std::fill(std::begin(text), std::end(text), 'x');
  PreeditAttribute attributes[64];
  for (auto& attribute : attributes) attribute = {7, 7, 7};
  int cursor = -1;
  int fourth = -1;
  preedit.result = symbol<int (*)(char*, PreeditAttribute*, int*, int*)>("module_get_preedit")(
      text, attributes, &cursor, &fourth);
  preedit.text.assign(text, strnlen(text, sizeof text));
  preedit.cursor = cursor;
  preedit.fourth = fourth;
  const int written = std::clamp(preedit.result, 0, 64);
  preedit.attributes.assign(attributes, attributes + written);
  return preedit;
}

int TestHost::reset() {
  return symbol<int (*)()>("module_reset")();
}
int TestHost::flushInput() {
  return symbol<int (*)()>("module_flush_input")();
}
void TestHost::moveWin(int x, int y) {
  symbol<void (*)(int, int)>("module_move_win")(x, y);
}
void TestHost::changeFontSize() {
  symbol<void (*)()>("module_change_font_size")();
}
void TestHost::showWin() {
  symbol<void (*)()>("module_show_win")();
}
void TestHost::hideWin() {
  symbol<void (*)()>("module_hide_win")();
}
int TestHost::winVisible() {
  return symbol<int (*)()>("module_win_visible")();
}
void TestHost::getWinGeom() {
  symbol<void (*)()>("module_get_win_geom")();
}

std::string TestHost::confPath() {
  char* path = symbol<char* (*)()>("kestova_conf_path")();
  std::string result = path ? path : "";
  g_free(path);
  return result;
}

ModuleConfig TestHost::confLoad() {
  ModuleConfig config;
  std::fill_n(reinterpret_cast<int32_t*>(&config), 9, -7);
  symbol<void (*)(ModuleConfig*)>("kestova_conf_load")(&config);
  return config;
}

int TestHost::confSave(const ModuleConfig& config) {
  return symbol<int (*)(const ModuleConfig*)>("kestova_conf_save")(&config);
}

void TestHost::openSettingsWindow() {
  symbol<void (*)()>("module_setup_window_create")();
}

int TestHost::clickRow(int row) {
  return pick_ ? pick_(row) : 0;
}
void TestHost::clickPreviousPage() {
  if (previous_) previous_();
}
void TestHost::clickNextPage() {
  if (next_) next_();
}
bool TestHost::callbacksRegistered() const {
  return pick_ && previous_ && next_;
}

std::string TestHost::takeCommitted() {
  std::string text = std::move(committed_);
  committed_.clear();
  return text;
}

}  // namespace Kestova
