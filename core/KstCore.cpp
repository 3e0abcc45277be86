#include "core/KstCore.h"

#include <exception>
#include <utility>

#include "base/ModuleLog.h"
#include "core/Settings.h"
#include "engine/KeyHandler.h"
#include "engine/KeyHandlerStrings.h"
#include "models/LanguageModelLoader.h"
#include "phonetics/BpmfKeyboardLayout.h"

namespace Kestova {

std::unique_ptr<KstCore> KstCore::create(const std::string& dataRoot,
                                         const std::string& userDirectory) {
  try {
    LanguageModelLoader::Paths paths;
    paths.dataRoot = dataRoot;
    paths.userDataDirectory = userDirectory;
    auto loader =
        std::make_shared<LanguageModelLoader>(std::make_unique<LoaderStrings>(), std::move(paths));
    auto keyHandler = std::make_shared<KeyHandler>(loader->languageModel(), loader,
                                                   std::make_unique<KeyHandlerStrings>());
    keyHandler->setLayout(BpmfKeyboardLayout::StandardLayout());
    keyHandler->setWordLearner(std::shared_ptr<WordLearner>(loader, &loader->wordLearner()));
    keyHandler->setContextModel(Options().context_model ? loader->contextModel() : nullptr);
    return std::unique_ptr<KstCore>(new KstCore(std::move(loader), std::move(keyHandler)));
  } catch (const std::exception& e) {
    ModuleLog::error(e.what());
    return nullptr;
  }
}

KstCore::KstCore(std::shared_ptr<LanguageModelLoader> loader,
                 std::shared_ptr<KeyHandler> keyHandler)
    : loader_(std::move(loader)), receiver_(std::move(keyHandler)) {}

KstCore::~KstCore() = default;

void KstCore::setKeyboardLayout(std::string_view name) {
  receiver_.keyHandler().setLayout(keyboardLayoutNamed(name));
}

void KstCore::setSelectionKeys(std::string_view keys) {
  receiver_.setSelectionKeys(keys);
}

void KstCore::applyOptions(const Options& options) {
  receiver_.keyHandler().setOptions(options);
  loader_->setLearning(options.learn_words, options.remember_learnt_words);
  useContextModel();
}

const Options& KstCore::options() const {
  return receiver_.keyHandler().options();
}

void KstCore::useContextModel() {
  std::shared_ptr<const Palisar::Lattivor2::ContextModel> model;
  if (options().context_model) model = loader_->contextModel();
  KeyHandler& handler = receiver_.keyHandler();
  if (handler.grid().contextModel() != model) handler.setContextModel(std::move(model));
}

void KstCore::checkBetweenKeys() {
  try {
    loader_->checkBetweenKeys();
  } catch (const std::exception& e) {
    ModuleLog::error(e.what());
    receiver_.reset();
  }
}

void KstCore::reloadUserFiles() {
  try {
    if (loader_->reloadIfChanged()) useContextModel();
  } catch (const std::exception& e) {
    ModuleLog::error(e.what());
    receiver_.reset();
  }
}

}  // namespace Kestova
