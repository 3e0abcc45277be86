#include "bench/comparison/Engines.h"

#include <chewing.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "bench/comparison/Measure.h"
#include "engine/Key.h"
#include "engine/KeyHandler.h"
#include "engine/StateReceiver.h"
#include "models/LanguageModelLoader.h"
#include "phonetics/BpmfKeyboardLayout.h"
#include "text/Utf8.h"

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
  // The context file of the same build, when there is one.
  const fs::path context = fs::absolute(builtInData).parent_path() / "kestova-context.bin";
  const fs::path contextLink = dataRoot() / "data" / "kestova-context.bin";
  if (fs::exists(context) && !fs::exists(contextLink)) {
    fs::create_symlink(context, contextLink, ignored);
  }
}

// ---------------------------------------------------------------------------

KestovaSession::KestovaSession(const Workspace& workspace) {
  LanguageModelLoader::Paths paths;
  paths.dataRoot = workspace.dataRoot().string();
  paths.userDataDirectory = workspace.userDataDirectory().string();
  const Clock::time_point start = Clock::now();
  loader_ = std::make_shared<LanguageModelLoader>(std::make_unique<LoaderStrings>(), paths);
  const Clock::time_point loaded = Clock::now();
  auto handler = std::make_shared<KeyHandler>(loader_->languageModel(), loader_, nullptr);
  handler->setLayout(BpmfKeyboardLayout::StandardLayout());
  handler->setContextModel(loader_->contextModel());
  receiver_ = std::make_unique<StateReceiver>(std::move(handler));
  loaderMicroseconds_ = microsecondsBetween(start, loaded);
  handlerMicroseconds_ = microsecondsBetween(loaded, Clock::now());
}

KestovaSession::~KestovaSession() = default;

void KestovaSession::clear() {
  receiver_->reset();
}

bool KestovaSession::press(char key) {
  return receiver_->handleKey(KeyStroke::of(Key::fromCharacter(key)));
}

bool KestovaSession::press(NamedKey key) {
  return receiver_->handleKey(KeyStroke::of(Key::fromNamedKey(key)));
}

std::string KestovaSession::composed() const {
  return std::string(receiver_->preeditText());
}

std::size_t KestovaSession::readingCount() const {
  return receiver_->keyHandler().readingCount();
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

namespace {

std::vector<std::string> characters(const std::string& text) {
  std::vector<std::string> out;
  for (std::string_view character : Utf8::splitCharacters(text)) out.emplace_back(character);
  return out;
}

}  // namespace

ChewingSession::Corrections ChewingSession::correct(const std::string& gold, bool commit) {
  Corrections cost;
  chewing_set_candPerPage(context_, 9);
  const std::vector<std::string> target = characters(gold);
  std::vector<bool> givenUp(target.size(), false);
  for (std::size_t round = 0; round < 4 * target.size() + 4; ++round) {
    const std::vector<std::string> text = characters(composed());
    std::size_t wrong = target.size();
    for (std::size_t j = 0; j < target.size(); ++j) {
      if (!givenUp[j] && (j >= text.size() || text[j] != target[j])) {
        wrong = j;
        break;
      }
    }
    if (wrong == target.size() || text.size() != target.size()) break;
    // The cursor before the wrong character; at the end the engine's
    // candidates are those of the last character.
    chewing_handle_Home(context_);
    for (std::size_t i = 0; i < wrong; ++i) chewing_handle_Right(context_);
    bool fixed = false;
    std::size_t downs = 0;
    std::string firstList;
    while (!fixed && downs < 10) {
      chewing_handle_Down(context_);
      ++downs;
      if (chewing_cand_TotalChoice(context_) <= 0) break;
      std::string list;
      int index = 0, chosen = -1;
      chewing_cand_Enumerate(context_);
      while (chewing_cand_hasNext(context_)) {
        const char* candidate = chewing_cand_String_static(context_);
        const std::vector<std::string> value = characters(candidate ? candidate : "");
        list += candidate ? candidate : "";
        list += '|';
        // The candidate covers the characters from the cursor on, or, where
        // the phrase would run past the end, the last ones.
        if (chosen < 0 && !value.empty() && value.size() <= target.size()) {
          const std::size_t start = std::min(wrong, target.size() - value.size());
          if (start <= wrong && wrong < start + value.size() &&
              std::equal(value.begin(), value.end(), target.begin() + start)) {
            chosen = index;
          }
        }
        ++index;
      }
      if (downs == 1) {
        firstList = list;
      } else if (list == firstList) {
        break;  // back at the longest phrases: nothing fits
      }
      if (chosen >= 0) {
        chewing_cand_choose_by_index(context_, chosen);
        cost.picks += 1 + static_cast<std::size_t>(chosen) / 9 + (downs - 1);
        fixed = true;
      }
    }
    if (!fixed) {
      chewing_handle_Esc(context_);
      givenUp[wrong] = true;
      ++cost.unfixable;
    }
  }
  if (commit) {
    chewing_handle_Enter(context_);
    chewing_commit_preedit_buf(context_);
  }
  clear();
  return cost;
}

}  // namespace Kestova::Bench
