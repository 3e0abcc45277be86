// kestova-play: type into the real module from a terminal.
//
// The playground loads the built module into the test host, exactly as gcin
// would load it, and shows what gcin would show: the composition with its
// caret, the hint line, the candidate page with its selection keys, and the
// committed text. With --keys it types a key sequence in the engine's key
// notation and prints the committed text.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <X11/keysym.h>
#include <gtk/gtk.h>

#include "engine/KeyNotation.h"
#include "testhost/PrivateXServer.h"
#include "testhost/TestHost.h"
#include "text/Utf8.h"
#include "tools/play/KeysymMapping.h"

namespace fs = std::filesystem;
using Kestova::KeyEvent;
using Kestova::TestHost;

namespace {

// The module in gcin's module directory, where the package installs it.
constexpr const char* kInstalledModule = KESTOVA_INSTALLED_MODULE;

struct Options {
  std::optional<std::string> keys;
  std::string layout;
  std::string module;
  std::string dataRoot;
  bool trace = false;
  bool settings = false;
};

void usage(std::ostream& out) {
  out << "usage: kestova-play [--keys KEYS] [--layout NAME] [--trace] [--data-root DIR] "
         "[--module FILE]\n"
         "       kestova-play --settings [--module FILE]\n"
         "\n"
         "Without --keys: type in the terminal; Ctrl+J is Control+Enter, Ctrl+D quits.\n"
         "With --keys: type KEYS in key notation, e.g. \"hk4g4<Enter>\", <Space>, <S-Left>,\n"
         "<C-Enter>, <PgDn>, <KP5>, <lt> for \"<\"; print the committed text.\n"
         "--layout   Standard, ETen, Hsu, ETen26, IBM or HanyuPinyin (or gcin's names et,\n"
         "           hsu, et26, ibm, pinyin); uses a private HOME so your gcin settings stay\n"
         "--trace    print the state after every key\n"
         "--data-root DIR  read the phrase data from DIR/data/kestova-data.txt and the\n"
         "           context file, when there is one, from DIR/data/kestova-context.bin\n"
         "--settings opens the settings window, as gcin's setup tool does, until it closes\n";
}

// gcin's keyboard-file name for a layout name, or "" when unknown.
std::string gcinKeyboardName(const std::string& layout) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"Standard", "zo"}, {"ETen", "et"}, {"Hsu", "hsu"},
      {"ETen26", "et26"}, {"IBM", "ibm"}, {"HanyuPinyin", "pinyin"},
      {"zo", "zo"},       {"et", "et"},   {"hsu", "hsu"},
      {"et26", "et26"},   {"ibm", "ibm"}, {"pinyin", "pinyin"},
  };
  for (const auto& [name, gcinName] : kNames) {
    if (layout == name) return gcinName;
  }
  return "";
}

std::string selectionKeysOf(const fs::path& home) {
  std::ifstream in(home / ".gcin/config/phonetic-keyboard2");
  std::string name, keys;
  if (in >> name >> keys) return keys;
  return "123456789";
}

// One key as typed: its notation text (for the trace and Page Up/Down) and its event.
struct TypedKey {
  std::string notation;
  KeyEvent event;
};

// Splits a key-notation string into single keys.
std::optional<std::vector<TypedKey>> parseKeys(const std::string& text, std::string* error) {
  std::vector<TypedKey> keys;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = at + 1;
    if (text[at] == '<') {
      end = text.find('>', at + 2);
      if (end == std::string::npos) {
        *error = "unterminated \"<\" at position " + std::to_string(at);
        return std::nullopt;
      }
      ++end;
    }
    std::string token = text.substr(at, end - at);
    std::string why;
    auto parsed = Kestova::parseKeyNotation(token, &why);
    if (!parsed || parsed->size() != 1) {
      *error = why.empty() ? "unknown key " + token : why;
      return std::nullopt;
    }
    // The trace names keys by notation; Page Up and Page Down keep their own names.
    std::string name = token.front() == '<' ? token : Kestova::formatKey(parsed->front());
    keys.push_back({name, Kestova::keyEventFor(parsed->front(), token)});
    at = end;
  }
  return keys;
}

class Playground {
 public:
  Playground(TestHost& host, std::string selectionKeys)
      : host_(host), selectionKeys_(std::move(selectionKeys)) {}

  int press(const KeyEvent& event) {
    int used = host_.feedKey(event.keysym, event.mask);
    host_.feedKeyRelease(event.keysym, event.mask);
    return used;
  }

  // The state as one line, for --trace.
  std::string traceLine(const std::string& notation, int used) {
    TestHost::Preedit preedit = host_.preedit();
    std::string line = notation + " used=" + std::to_string(used) + " preedit=\"" +
                       withCaret(preedit.text, preedit.cursor) + "\"";
    std::string hint = hintText();
    if (!hint.empty()) line += " hint=\"" + hint + "\"";
    if (host_.candidateWindow().shown) line += " candidates=[" + candidateLine() + "]";
    line += " committed=\"" + host_.committed() + "\"";
    return line;
  }

  // The full screen of the interactive mode.
  void draw() {
    TestHost::Preedit preedit = host_.preedit();
    std::string out = "\x1b[H\x1b[2J";
    out += "Kestova playground. Ctrl+J = Control+Enter, Ctrl+D = quit.\r\n\r\n";
    out += "  composing: " + withCaretHighlight(preedit.text, preedit.cursor) + "\r\n";
    std::string hint = hintText();
    out += "  hint:      " + hint + "\r\n";
    out += "  candidates: " + (host_.candidateWindow().shown ? candidateLine() : "") + "\r\n";
    out += "\r\n  committed: " + host_.committed() + "\r\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
  }

 private:
  static std::string withCaret(const std::string& text, int caret) {
    const size_t at = Kestova::Utf8::offsetAfter(text, static_cast<size_t>(std::max(caret, 0)));
    return text.substr(0, at) + "|" + text.substr(at);
  }
  static std::string withCaretHighlight(const std::string& text, int caret) {
    const size_t at = Kestova::Utf8::offsetAfter(text, static_cast<size_t>(std::max(caret, 0)));
    const size_t after = at + Kestova::Utf8::characterLength(text, at);
    std::string at_char = after > at ? text.substr(at, after - at) : " ";
    return text.substr(0, at) + "\x1b[7m" + at_char + "\x1b[0m" + text.substr(after);
  }
  // The hint is drawn only in the status window; the playground has none of
  // its own, so it reads the module's label through GTK.
  std::string hintText();
  std::string candidateLine() {
    const TestHost::CandidateWindow& window = host_.candidateWindow();
    std::string line;
    if (window.previousMarked) line += "< ";
    for (const auto& [row, text] : window.rows) {
      char key = static_cast<size_t>(row) < selectionKeys_.size() ? selectionKeys_[row] : '?';
      line += std::string(1, key) + "." + text + " ";
    }
    if (window.nextMarked) line += ">";
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
  }

  TestHost& host_;
  std::string selectionKeys_;
};

std::string Playground::hintText() {
  std::string hint;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* w = toplevels; w && hint.empty(); w = w->next) {
    GtkWidget* box = gtk_bin_get_child(GTK_BIN(w->data));
    if (!box || !GTK_IS_BOX(box)) continue;
    GList* children = gtk_container_get_children(GTK_CONTAINER(box));
    if (children && children->next && gtk_widget_get_visible(GTK_WIDGET(children->next->data))) {
      hint = gtk_label_get_text(GTK_LABEL(children->next->data));
    }
    g_list_free(children);
  }
  g_list_free(toplevels);
  return hint;
}

// Raw terminal input, restored on destruction.
class RawTerminal {
 public:
  RawTerminal() {
    if (tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios raw = saved_;
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON);
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  }
  ~RawTerminal() {
    if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }
  bool active() const { return active_; }

 private:
  termios saved_{};
  bool active_ = false;
};

int readByte(int timeoutMs) {
  pollfd in{STDIN_FILENO, POLLIN, 0};
  if (poll(&in, 1, timeoutMs) <= 0) return -1;
  unsigned char c;
  return read(STDIN_FILENO, &c, 1) == 1 ? c : -1;
}

// Reads one key from the terminal; nullopt at end of input or Ctrl+D/Ctrl+C.
std::optional<KeyEvent> readKey() {
  int c = readByte(-1);
  if (c < 0 || c == 4 || c == 3) return std::nullopt;
  switch (c) {
    case 13:
      return KeyEvent{XK_Return, 0};
    case 10:  // Ctrl+J
      return KeyEvent{XK_Return, 4};
    case 127:
    case 8:
      return KeyEvent{XK_BackSpace, 0};
    case 9:
      return KeyEvent{XK_Tab, 0};
    case 27:
      break;
    default:
      if (c >= 32 && c < 127) return KeyEvent{static_cast<unsigned>(c), 0};
      return KeyEvent{XK_F12, 0};
  }
  // Escape sequences: ESC [ ... or ESC O ...; a lone ESC is Escape.
  int next = readByte(40);
  if (next != '[' && next != 'O') return KeyEvent{XK_Escape, 0};
  std::string sequence;
  for (;;) {
    int b = readByte(40);
    if (b < 0) break;
    sequence += static_cast<char>(b);
    if (b >= 0x40 && b <= 0x7e) break;
  }
  unsigned mask = sequence.find(";2") != std::string::npos ? 1u : 0u;
  if (sequence.find(";5") != std::string::npos) mask = 4;
  const char final = sequence.empty() ? 0 : sequence.back();
  switch (final) {
    case 'A':
      return KeyEvent{XK_Up, mask};
    case 'B':
      return KeyEvent{XK_Down, mask};
    case 'C':
      return KeyEvent{XK_Right, mask};
    case 'D':
      return KeyEvent{XK_Left, mask};
    case 'H':
      return KeyEvent{XK_Home, mask};
    case 'F':
      return KeyEvent{XK_End, mask};
    case 'Z':
      return KeyEvent{XK_ISO_Left_Tab, 1};
    case '~':
      if (sequence.starts_with("1") || sequence.starts_with("7")) return KeyEvent{XK_Home, mask};
      if (sequence.starts_with("4") || sequence.starts_with("8")) return KeyEvent{XK_End, mask};
      if (sequence.starts_with("3")) return KeyEvent{XK_Delete, mask};
      if (sequence.starts_with("5")) return KeyEvent{XK_Prior, mask};
      if (sequence.starts_with("6")) return KeyEvent{XK_Next, mask};
      break;
    default:
      break;
  }
  return KeyEvent{XK_F12, 0};
}

std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* name) -> std::optional<std::string> {
      if (i + 1 >= argc) {
        std::cerr << "kestova-play: " << name << " needs a value\n";
        return std::nullopt;
      }
      return std::string(argv[++i]);
    };
    if (arg == "--keys") {
      auto v = value("--keys");
      if (!v) return std::nullopt;
      options.keys = *v;
    } else if (arg == "--layout") {
      auto v = value("--layout");
      if (!v) return std::nullopt;
      options.layout = *v;
    } else if (arg == "--module") {
      auto v = value("--module");
      if (!v) return std::nullopt;
      options.module = *v;
    } else if (arg == "--data-root") {
      auto v = value("--data-root");
      if (!v) return std::nullopt;
      options.dataRoot = *v;
    } else if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--settings") {
      options.settings = true;
    } else if (arg == "--help" || arg == "-h") {
      usage(std::cout);
      std::exit(0);
    } else {
      std::cerr << "kestova-play: unknown option " << arg << "\n";
      usage(std::cerr);
      return std::nullopt;
    }
  }
  return options;
}

// The playground in the build tree plays the module built beside it; an
// installed playground plays the installed module.
std::string defaultModule() {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error && fs::equivalent(self.parent_path(), KESTOVA_PLAY_BUILD_DIR, error)) {
    return KESTOVA_MODULE_PATH;
  }
  return kInstalledModule;
}

bool anyWindowShown() {
  GList* windows = gtk_window_list_toplevels();
  bool shown = false;
  for (GList* item = windows; item && !shown; item = item->next) {
    shown = gtk_widget_get_visible(GTK_WIDGET(item->data));
  }
  g_list_free(windows);
  return shown;
}

fs::path makePrivateHome() {
  std::string pattern = (fs::temp_directory_path() / "kestova-play.XXXXXX").string();
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

// The keys of --keys, checked before anything is started; false (having
// said why) if they cannot be read.
bool readTypedKeys(const Options& options, std::vector<TypedKey>& keys) {
  if (!options.keys) return true;
  std::string error;
  auto parsed = parseKeys(*options.keys, &error);
  if (!parsed) {
    std::cerr << "kestova-play: " << error << "\n";
    return false;
  }
  keys = std::move(*parsed);
  return true;
}

// With --layout, a private home whose gcin configuration names that
// keyboard becomes $HOME; false (having said why) for an unknown layout.
bool useLayout(const Options& options, fs::path& privateHome) {
  if (options.layout.empty()) return true;
  std::string gcinName = gcinKeyboardName(options.layout);
  if (gcinName.empty()) {
    std::cerr << "kestova-play: unknown layout " << options.layout
              << " (Standard, ETen, Hsu, ETen26, IBM, HanyuPinyin)\n";
    return false;
  }
  privateHome = makePrivateHome();
  fs::create_directories(privateHome / ".gcin/config");
  std::ofstream(privateHome / ".gcin/config/phonetic-keyboard2") << gcinName << " 123456789\n";
  setenv("HOME", privateHome.c_str(), 1);
  return true;
}

// Presses the keys of --keys, then prints what was committed.
void playKeys(Playground& playground, TestHost& host, const Options& options,
              const std::vector<TypedKey>& keys) {
  for (const TypedKey& key : keys) {
    int used = playground.press(key.event);
    if (options.trace) std::cout << playground.traceLine(key.notation, used) << "\n";
  }
  std::cout << host.committed() << "\n";
}

// Plays keys from the terminal until it closes; the exit status.
int playTerminal(Playground& playground) {
  RawTerminal terminal;
  if (!terminal.active()) {
    std::cerr << "kestova-play: standard input is not a terminal; use --keys\n";
    return 2;
  }
  playground.draw();
  while (auto key = readKey()) {
    playground.press(*key);
    playground.draw();
  }
  std::cout << "\r\n";
  return 0;
}

// Loads the module into a host and plays it (or opens its settings); the
// exit status.
int play(const std::string& module, const Options& options, const std::vector<TypedKey>& keys) {
  std::string error;
  std::unique_ptr<TestHost> host = TestHost::load(module, &error);
  if (!host) {
    std::cerr << "kestova-play: cannot load " << module << ": " << error << "\n";
    return 1;
  }
  if (options.settings) {
    host->openSettingsWindow();
    while (anyWindowShown()) gtk_main_iteration();
    return 0;
  }
  if (host->initWin() != 1) {
    for (const std::string& message : host->errors()) {
      std::cerr << "kestova-play: " << message << "\n";
    }
    std::cerr << "kestova-play: the phrase data is missing; install it or pass --data-root\n";
    return 1;
  }
  const char* home = std::getenv("HOME");
  Playground playground(*host, selectionKeysOf(home ? home : ""));
  if (!options.keys) return playTerminal(playground);
  playKeys(playground, *host, options, keys);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Options> options = parseOptions(argc, argv);
  if (!options) return 2;

  std::vector<TypedKey> keys;
  if (!readTypedKeys(*options, keys)) return 2;

  fs::path privateHome;
  if (!useLayout(*options, privateHome)) return 2;
  if (!options->dataRoot.empty()) setenv("KESTOVA_DATA_ROOT", options->dataRoot.c_str(), 1);

  std::string module = options->module.empty() ? defaultModule() : options->module;

  std::unique_ptr<Kestova::PrivateXServer> xserver;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    xserver = std::make_unique<Kestova::PrivateXServer>();
    if (!xserver->running()) {
      std::cerr << "kestova-play: no X display and " << xserver->error() << "\n";
      return 1;
    }
  }

  const int status = play(module, *options, keys);
  if (!privateHome.empty()) {
    std::error_code ignored;
    fs::remove_all(privateHome, ignored);
  }
  return status;
}
