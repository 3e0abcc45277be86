#include "bench/comparison/Engines.h"

#include <chewing.h>
#include <stdlib.h>

#include <functional>
#include <system_error>
#include <utility>

#include "bench/comparison/Measure.h"
#include "engine/InputState.h"
#include "engine/Key.h"
#include "engine/KeyHandler.h"
#include "models/LanguageModelLoader.h"
#include "phonetics/BpmfKeyboardLayout.h"

namespace Kestova::Bench {

namespace fs = std::filesystem;

Workspace::Workspace(const fs::path& builtInData) : owned_(true) {
  std::string pattern = (fs::temp_directory_path() / "kestova-comparison-XXXXXX").string();
  if (const char* made = ::mkdtemp(pattern.data())) directory_ = made;
  populate(builtInData);
}

Workspace::Workspace(const fs::path& directory, const fs::path& builtInData)
    : directory_(directory) {
  populate(builtInData);
}

Workspace::~Workspace() {
  if (!owned_ || directory_.empty()) return;
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

void Workspace::populate(const fs::path& builtInData) {
  std::error_code ignored;
  fs::create_directories(dataRoot() / "data", ignored);
  fs::create_directories(userDataDirectory(), ignored);
  fs::create_directories(chewingUserDatabase().parent_path(), ignored);
  const fs::path link = dataRoot() / "data" / "kestova-data.txt";
  if (!fs::exists(link)) fs::create_symlink(fs::absolute(builtInData), link, ignored);
}

// ---------------------------------------------------------------------------

struct KestovaSession::Callbacks {
  StateCallback onState;
  ErrorCallback onError;
};

KestovaSession::KestovaSession(const Workspace& workspace)
    : state_(std::make_unique<InputStates::Empty>()), callbacks_(std::make_unique<Callbacks>()) {
  LanguageModelLoader::Paths paths;
  paths.dataRoot = workspace.dataRoot().string();
  paths.userDataDirectory = workspace.userDataDirectory().string();
  const Clock::time_point start = Clock::now();
  loader_ = std::make_shared<LanguageModelLoader>(std::make_unique<LoaderStrings>(), paths);
  const Clock::time_point loaded = Clock::now();
  handler_ = std::make_shared<KeyHandler>(loader_->languageModel(), loader_, nullptr);
  handler_->setLayout(BpmfKeyboardLayout::StandardLayout());
  loaderMicroseconds_ = microsecondsBetween(start, loaded);
  handlerMicroseconds_ = microsecondsBetween(loaded, Clock::now());
  // Committed text is not needed: the benchmark never commits.
  callbacks_->onState = [this](std::unique_ptr<InputState> next) {
    if (dynamic_cast<InputStates::Committing*>(next.get()) ||
        dynamic_cast<InputStates::EmptyIgnoringPrevious*>(next.get())) {
      state_ = std::make_unique<InputStates::Empty>();
    } else {
      state_ = std::move(next);
    }
  };
  callbacks_->onError = [] {};
}

KestovaSession::~KestovaSession() = default;

void KestovaSession::clear() {
  handler_->reset();
  state_ = std::make_unique<InputStates::Empty>();
}

bool KestovaSession::press(char key) {
  return handler_->handle(Key::fromCharacter(key), state_.get(), callbacks_->onState,
                          callbacks_->onError);
}

std::string KestovaSession::composed() const {
  const auto* notEmpty = dynamic_cast<const InputStates::NotEmpty*>(state_.get());
  return notEmpty ? notEmpty->buffer : std::string();
}

std::size_t KestovaSession::readingCount() const {
  return handler_->readingCount();
}

// ---------------------------------------------------------------------------

ChewingSession::ChewingSession(const Workspace& workspace) {
  const std::string userDatabase = workspace.chewingUserDatabase().string();
  context_ = chewing_new2(nullptr, userDatabase.c_str(), nullptr, nullptr);
  if (!context_) return;
  chewing_set_KBType(context_, chewing_KBStr2Num("KB_DEFAULT"));
  // The longest dev sentence has 24 characters: never let the engine commit
  // part of a sentence by itself.
  chewing_set_maxChiSymbolLen(context_, 39);
}

ChewingSession::~ChewingSession() {
  if (context_) chewing_delete(context_);
}

void ChewingSession::clear() {
  chewing_clean_bopomofo_buf(context_);
  chewing_clean_preedit_buf(context_);
}

bool ChewingSession::press(char key) {
  const int result = key == ' ' ? chewing_handle_Space(context_)
                                : chewing_handle_Default(context_, static_cast<unsigned char>(key));
  // A host reads the composition after every key.
  const char* text = chewing_buffer_String_static(context_);
  return result == 0 && text != nullptr;
}

std::string ChewingSession::composed() const {
  const char* text = chewing_buffer_String_static(context_);
  return text ? text : "";
}

int ChewingSession::compositionLimit() const {
  return chewing_get_maxChiSymbolLen(context_);
}

}  // namespace Kestova::Bench
