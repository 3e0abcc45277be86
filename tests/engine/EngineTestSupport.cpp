#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include "engine/KeyHandlerStrings.h"
#include "engine/KeyNotation.h"
#include "text/Utf8.h"

namespace Kestova::Testing {

using namespace InputStates;

void applyOptions(KeyHandler& handler, unsigned bits) {
  handler.setOptions(optionsFromBits(bits));
}

namespace {

std::shared_ptr<LanguageModelLoader> makeLoader(const TempDir& dir,
                                                std::vector<PhraseFileLine> phrases,
                                                const ContextFileContents* context) {
  std::filesystem::create_directories(dir.path() / "data");
  EXPECT_TRUE(writeSortedPhraseFile((dir.path() / LanguageModelLoader::kBuiltInDataFile).string(),
                                    std::move(phrases)));
  if (context) {
    EXPECT_TRUE(
        writeContextFile((dir.path() / LanguageModelLoader::kContextDataFile).string(), *context));
  }
  LanguageModelLoader::Paths paths;
  paths.dataRoot = dir.path().string();
  paths.userDataDirectory = (dir.path() / "user").string();
  return std::make_shared<LanguageModelLoader>(std::make_unique<LoaderStrings>(), paths);
}

}  // namespace

EngineSession::EngineSession(std::vector<PhraseFileLine> phrases,
                             const ContextFileContents* context)
    : loader_(makeLoader(dir_, std::move(phrases), context)),
      handler_(std::make_shared<KeyHandler>(loader_->languageModel(), loader_,
                                            std::make_unique<KeyHandlerStrings>())),
      receiver_(handler_) {
  receiver_.setErrorHandler([this] { ++errors; });
  handler_->setContextModel(loader_->contextModel());
}

std::filesystem::path EngineSession::userPhrasesPath() const {
  return std::filesystem::path(loader_->userFilesDirectory()) /
         LanguageModelLoader::kUserPhrasesFileName;
}

void EngineSession::collectCommits() {
  committed += receiver_.takeCommitText();
}

StateCallback EngineSession::callback() {
  return [this](std::unique_ptr<InputState> state) {
    receiver_.enterState(std::move(state));
    collectCommits();
  };
}

bool EngineSession::press(const KeyStroke& press) {
  lastResult = receiver_.handleKey(press);
  collectCommits();
  return lastResult;
}

void EngineSession::type(std::string_view notation) {
  std::string error;
  auto presses = parseKeyStrokes(notation, &error);
  ASSERT_TRUE(presses.has_value()) << notation << ": " << error;
  for (const auto& each : *presses) press(each);
}

std::string EngineSession::buffer() const {
  return std::string(receiver_.preeditText());
}

std::size_t EngineSession::cursorChars() const {
  std::size_t caret = 0;
  receiver_.preeditText(&caret);
  return caret;
}

std::string EngineSession::hint() const {
  return std::string(receiver_.hintText());
}

}  // namespace Kestova::Testing
