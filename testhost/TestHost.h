// A stand-in for the gcin host: loads the built module with dlopen, hands it a
// real host function table whose functions record what the module does, and
// drives the module's exported functions. Tests, the playground and the
// benchmarks use it instead of a running gcin.
//
// The host functions are plain C functions without a context argument, so
// only one TestHost may exist in a process at a time.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "module/HostFunctions.h"
#include "module/ModuleConfig.h"

namespace Kestova {

class TestHost {
 public:
  // What the module last put into the host's candidate window.
  struct CandidateWindow {
    std::map<int, std::string> rows;
    bool previousMarked = false;
    bool nextMarked = false;
    bool shown = false;
    int x = 0;
    int y = 0;
  };

  struct Preedit {
    int result = 0;
    std::string text;
    int cursor = 0;
    int fourth = 0;
    // The attribute records the module wrote (as many as it answered).
    std::vector<PreeditAttribute> attributes;
  };

  // Host variables the module reads and writes through the table.
  struct Variables {
    int fontSize = 16;
    std::string cursorForeground = "white";
    std::string cursorBackground = "blue";
    int showWindowWhenEmpty = 0;
    int windowX = 0;
    int windowY = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    int screenWidth = 1024;
    int screenHeight = 768;
  };

  // Loads the module; null with a reason in *error when it cannot be loaded.
  // Also initialises GTK on the current display (the module draws a window).
  static std::unique_ptr<TestHost> load(const std::string& modulePath, std::string* error);
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  // Exported functions of the module. initWin hands over the recording
  // table; the overload hands over any table (on the stack, as gcin does).
  int initWin();
  int initWin(const HostFunctions& table);
  int feedKey(unsigned keysym, unsigned state = 0);
  int feedKeyRelease(unsigned keysym, unsigned state = 0);
  Preedit preedit();
  int reset();
  int flushInput();
  void moveWin(int x, int y);
  void changeFontSize();
  void showWin();
  void hideWin();
  int winVisible();
  void getWinGeom();
  std::string confPath();
  ModuleConfig confLoad();
  int confSave(const ModuleConfig& config);
  // Opens the module's settings window, as gcin's setup tool does.
  void openSettingsWindow();

  // The candidate-window callbacks the module registered, as a click would call them.
  int clickRow(int row);
  void clickPreviousPage();
  void clickNextPage();
  bool callbacksRegistered() const;

  // Everything committed so far, concatenated; takeCommitted also clears it.
  const std::string& committed() const { return committed_; }
  std::string takeCommitted();
  const std::vector<std::string>& commits() const { return commits_; }
  const std::vector<std::string>& errors() const { return errors_; }
  const CandidateWindow& candidateWindow() const { return candidates_; }
  // The slot number of a member of the host table (0-45).
  template <typename Member>
  static int slotOf(Member HostFunctions::*slot) {
    static const HostFunctions table{};
    const auto* base = reinterpret_cast<const char*>(&table);
    const auto* member = reinterpret_cast<const char*>(&(table.*slot));
    return static_cast<int>((member - base) / static_cast<std::ptrdiff_t>(sizeof(void*)));
  }
  // Number of calls made to one host slot.
  template <typename Member>
  int calls(Member HostFunctions::*slot) const {
    return slotCalls_[static_cast<size_t>(slotOf(slot))];
  }
  // The slot numbers of every host call, in order.
  const std::vector<int>& callLog() const { return callLog_; }
  void clearCallLog() { callLog_.clear(); }

  Variables& variables() { return variables_; }
  void setAcceptsKeys(int value) { acceptsKeys_ = value; }
  void setWindowSuppressed(int value) { windowSuppressed_ = value; }
  // Fills the table's function slots with these non-null values so that any
  // use of an unused slot crashes visibly.
  const HostFunctions& table() const { return table_; }

 private:
  TestHost() = default;
  void buildTable();
  void record(int slot);

  template <typename F>
  F symbol(const char* name) const;

  struct Callbacks;
  friend struct Callbacks;

  void* handle_ = nullptr;
  HostFunctions table_{};
  Variables variables_;
  char* foreground_ = nullptr;
  char* background_ = nullptr;
  int acceptsKeys_ = 1;
  int windowSuppressed_ = 0;

  std::string committed_;
  std::vector<std::string> commits_;
  std::vector<std::string> errors_;
  CandidateWindow candidates_;
  std::vector<int> slotCalls_ = std::vector<int>(46, 0);
  std::vector<int> callLog_;
  KestovaPickCallback pick_ = nullptr;
  KestovaPageCallback previous_ = nullptr;
  KestovaPageCallback next_ = nullptr;
};

}  // namespace Kestova
