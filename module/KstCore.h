// The module core: owns the key handler, the language-model loader and the
// current input state, and turns host key events into key-handler calls. It
// also runs the candidate window's selection and paging itself, since the
// candidate window belongs to the host.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "engine/InputState.h"
#include "engine/Key.h"
#include "module/ModuleConfig.h"

namespace Kestova {

class KeyHandler;
class LanguageModelLoader;

class KstCore {
 public:
  // Loads the models from `dataRoot` and the user files from `userDirectory`;
  // null (after logging) when that fails.
  static std::unique_ptr<KstCore> create(const std::string& dataRoot,
                                         const std::string& userDirectory);
  ~KstCore();
  KstCore(const KstCore&) = delete;
  KstCore& operator=(const KstCore&) = delete;

  // gcin's keyboard name ("et", "hsu", ...); anything unknown is Standard.
  void setKeyboardLayout(std::string_view name);
  // Null or empty restores "123456789".
  void setSelectionKeys(const char* keys);
  void applyOptions(const ModuleConfig& config);

  bool isIdle() const;
  // Hands out the text committed since the last call; valid until the next call.
  const char* takeCommitText();
  // The composition and its caret in characters; "" and 0 when idle.
  const char* preeditText(std::size_t* caretCharacters) const;
  std::string_view hintText() const;

  std::size_t pageSize() const;
  std::size_t rowsOnPage() const;
  std::string_view rowText(std::size_t row) const;
  bool hasPreviousPage() const;
  bool hasNextPage() const;
  std::size_t page() const { return page_; }
  std::size_t highlight() const { return highlight_; }

  void previousPage();
  void nextPage();
  void pickRow(int row);
  void pick(std::size_t index);
  void moveHighlight(int step);

  // Commits the composition; discards it; reloads changed user files.
  void flush();
  void reset();
  void reloadUserFiles();

  // Dispatches one translated key (type as in KeyTranslation.h); 1 when used.
  int kstKey(int type, char character, bool shift, bool ctrl, bool numpad);

  const InputState& state() const { return *state_; }

 private:
  KstCore(std::shared_ptr<LanguageModelLoader> loader, std::shared_ptr<KeyHandler> keyHandler);

  StateCallback callback();
  void enterState(std::unique_ptr<InputState> newState);
  void candidateKey(const Key& key, int type);
  std::size_t candidateCount() const;
  // Runs an operation of the key handler or the loader; a standard exception
  // is logged and ends the composition without committing it.
  template <typename Operation>
  bool guarded(Operation&& operation);
  void discardComposition();

  std::shared_ptr<LanguageModelLoader> loader_;
  std::shared_ptr<KeyHandler> keyHandler_;
  std::unique_ptr<InputState> state_;
  std::string pendingCommit_;
  std::string takenCommit_;
  std::string selectionKeys_ = "123456789";
  std::size_t page_ = 0;
  std::size_t highlight_ = 0;
};

}  // namespace Kestova
