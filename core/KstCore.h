// The module core: the language-model loader, the key handler and the state
// receiver that presents its states, put together for gcin. What the
// receiver shows (the composition, the candidate page, the committed text)
// the module hands to the host; the core adds what only the host has: gcin's
// keyboard names and selection keys, and the user files the loader reloads
// between keys.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/Options.h"
#include "engine/StateReceiver.h"

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
  // Empty restores "123456789".
  void setSelectionKeys(std::string_view keys);
  // The options, held by the key handler (the only copy).
  void applyOptions(const Options& options);
  const Options& options() const;
  // Reloads the user files that changed on disk (while nothing is composed).
  void reloadUserFiles();
  // What is due before every key, composing or not (see
  // LanguageModelLoader::checkBetweenKeys): no look-up reads a data file
  // cut shorter in place, and phrases waiting for the user files' lock are
  // written once it is free.
  void checkBetweenKeys();

  StateReceiver& receiver() { return receiver_; }
  const StateReceiver& receiver() const { return receiver_; }

 private:
  KstCore(std::shared_ptr<LanguageModelLoader> loader, std::shared_ptr<KeyHandler> keyHandler);
  // Hands the key handler the loader's context model, or none when the
  // options say so; a model already in use stays.
  void useContextModel();

  std::shared_ptr<LanguageModelLoader> loader_;
  StateReceiver receiver_;
};

}  // namespace Kestova
