// Arbitrary user files under a running key handler: the fuzzer writes the
// user phrase, excluded-phrase and replacement files, starts the real
// loader over them and a small built-in phrase file, then types keys (marked
// text added with Enter goes back into the files through the loader). Every
// state must stay presentable to the application: its texts valid UTF-8,
// never holding U+FEFF, the cursor on a character boundary; every log line
// one line of valid UTF-8.
//
// The files are spelled with tokens, so that the fuzzer reaches the readings
// of the built-in file and the bytes that matter quickly. Input: two option
// bytes (as in the key handler target), a flags byte (bit 0
// the excluded-phrase file exists, bit 1 the replacement file exists, bit
// 2, 3, 4 the user phrase, excluded-phrase and replacement file start with a
// byte-order mark), then each file as a count byte and that many token
// bytes, then one or two bytes per key as in the key handler target.
//
// A byte-order mark is only ever written at the start of a file and no token
// can spell one elsewhere, so U+FEFF in a state means a mark got through.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/ModuleLog.h"
#include "engine/InputState.h"
#include "engine/Key.h"
#include "engine/KeyHandler.h"
#include "engine/KeyHandlerStrings.h"
#include "engine/StateReceiver.h"
#include "fuzz/FuzzSupport.h"
#include "models/LanguageModelLoader.h"
#include "models/SortedPhraseFile.h"
#include "phonetics/BpmfKeyboardLayout.h"

using namespace Kestova;
using namespace Kestova::InputStates;

namespace fs = std::filesystem;

namespace {

constexpr const char* kBuiltInPhrases[] = {
    "ㄋㄧˇ 你 -2.0",
    "ㄋㄧˇ 妳 -2.5",
    "ㄋㄧˇ-ㄏㄠˇ 你好 -3.0",
    "ㄏㄠˇ 好 -2.0",
    "ㄇㄚ 媽 -3.0",
    "ㄇㄚ-ㄇㄚ 媽媽 -1.0",
    "ㄊㄞˊ 臺 -2.5",
    "ㄨㄢ 灣 -3.0",
    "ㄊㄞˊ-ㄨㄢ 臺灣 -3.5",
    "ㄎㄜˇ 可 -2.0",
    "ㄉㄜ˙ 的 -1.5",
    "ㄧ 一 -2.0",
    "ㄖˋ MACRO@DATE_TODAY_SHORT -8",
    "ㄖˋ 日 -2.0",
    "_punctuation_list ， -1.0",
    "_punctuation_, 、 -1.0",
    "_letter_A a -1.0",
};

// What one token byte writes into a file. Token 0 writes the next input byte
// itself (0xEF becomes 0xEE, so that no U+FEFF can be spelled).
constexpr std::string_view kTokens[] = {
    "",  // a literal byte follows
    " ",
    "\t",
    "\n",
    "\r\n",
    "\r",
    "#",
    "\xb4\xfa\xb8\xd5",  // 測試 in Big5
    "\xff",
    "\xe6\xb8",  // a character cut short
    std::string_view("\0", 1),
    "ㄋㄧˇ",
    "ㄏㄠˇ",
    "ㄋㄧˇ-ㄏㄠˇ",
    "ㄇㄚ",
    "ㄇㄚ-ㄇㄚ",
    "ㄊㄞˊ",
    "ㄊㄞˊ-ㄨㄢ",
    "ㄎㄜˇ",
    "ㄧ",
    "ㄖˋ",
    "ㄉㄜ˙",
    "_punctuation_list",
    "-",
    "你",
    "好",
    "媽",
    "臺灣",
    "可",
    "MACRO@DATE_TODAY_SHORT",
    "New York",
    "\u3000",
    "<b>&amp;",
    "%s",
    "\x1b[2J",
};
constexpr size_t kTokenCount = sizeof kTokens / sizeof kTokens[0];

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string spellFile(Fuzz::ByteReader& reader, bool byteOrderMark) {
  std::string text = byteOrderMark ? std::string(kByteOrderMark) : std::string();
  const size_t count = reader.byte();
  for (size_t i = 0; i < count && !reader.empty(); ++i) {
    const size_t token = reader.byte() % kTokenCount;
    if (token == 0) {
      char byte = static_cast<char>(reader.byte());
      if (byte == '\xEF') byte = '\xEE';
      text += byte;
    } else {
      text += kTokens[token];
    }
  }
  return text;
}

bool holdsByteOrderMark(std::string_view text) {
  return text.find(kByteOrderMark) != std::string_view::npos;
}

void checkText(std::string_view text) {
  KESTOVA_FUZZ_CHECK(Utf8::isValid(text));
  KESTOVA_FUZZ_CHECK(!holdsByteOrderMark(text));
}

struct Workspace {
  fs::path dataRoot;
  fs::path userDataDirectory;
  fs::path userFiles;
};

const Workspace& workspace() {
  static const Workspace space = [] {
    Workspace w;
    const fs::path root = Fuzz::scratchDirectory();
    w.dataRoot = root / "root";
    w.userDataDirectory = root / "home" / ".gcin" / "kestova";
    w.userFiles = w.userDataDirectory / LanguageModelLoader::kUserFilesDirectoryName;
    fs::create_directories(w.userFiles);
    std::vector<PhraseFileLine> lines;
    for (const char* line : kBuiltInPhrases) lines.push_back(parsePhraseFileLine(line));
    sortPhraseFileLines(lines);
    Fuzz::writeFile(w.dataRoot / LanguageModelLoader::kBuiltInDataFile,
                    sortedPhraseFileText(lines));
    // Every log line the loader writes must stay one line of valid UTF-8.
    ModuleLog::setSink([](std::string_view line) {
      KESTOVA_FUZZ_CHECK(Utf8::isValid(line));
      KESTOVA_FUZZ_CHECK(line.find_first_of("\n\r") == std::string_view::npos);
      // The receiver turns an exception into an error line; that is a finding.
      KESTOVA_FUZZ_CHECK(line.find(" Error: ") == std::string_view::npos);
      if (std::getenv("KESTOVA_FUZZ_VERBOSE")) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
      }
    });
    return w;
  }();
  return space;
}

// What a presenter would show from a state must be presentable.
void check(const InputState& state) {
  if (const auto* committing = stateAs<Committing>(&state)) {
    checkText(committing->text);
  }
  const auto* composing = stateAs<NotEmpty>(&state);
  if (!composing) return;
  checkText(composing->buffer);
  checkText(composing->hint);
  KESTOVA_FUZZ_CHECK(Utf8::isCharacterBoundary(composing->buffer, composing->cursor));
  if (const auto* choosing = stateAs<ChoosingCandidate>(&state)) {
    KESTOVA_FUZZ_CHECK(!choosing->candidates.empty());
    for (const auto& candidate : choosing->candidates) checkText(candidate.value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;  // long inputs only slow the fuzzer down
  const Workspace& w = workspace();
  Fuzz::ByteReader reader(data, size);
  const uint8_t options = reader.byte();
  const uint8_t modes = reader.byte();
  const uint8_t flags = reader.byte();

  const fs::path phrases = w.userFiles / LanguageModelLoader::kUserPhrasesFileName;
  const fs::path excluded = w.userFiles / LanguageModelLoader::kExcludedPhrasesFileName;
  const fs::path replacements = w.userFiles / LanguageModelLoader::kReplacementFileName;
  Fuzz::writeFile(phrases, spellFile(reader, flags & 4));
  std::string excludedText = spellFile(reader, flags & 8);
  std::string replacementText = spellFile(reader, flags & 16);
  std::error_code ignored;
  fs::remove(excluded, ignored);
  fs::remove(replacements, ignored);
  if (flags & 1) Fuzz::writeFile(excluded, excludedText);
  if (flags & 2) Fuzz::writeFile(replacements, replacementText);

  LanguageModelLoader::Paths paths;
  paths.dataRoot = w.dataRoot.string();
  paths.userDataDirectory = w.userDataDirectory.string();
  auto loader = std::make_shared<LanguageModelLoader>(std::make_unique<LoaderStrings>(), paths);
  KESTOVA_FUZZ_CHECK(loader->languageModel()->builtInTableLoaded());
  auto handler = std::make_shared<KeyHandler>(loader->languageModel(), loader,
                                              std::make_unique<KeyHandlerStrings>());
  handler->setOptions(Fuzz::optionsFrom(options, modes));
  handler->setLayout(BpmfKeyboardLayout::AllLayouts()[(modes & 7) % 6]);

  StateReceiver receiver(handler);
  receiver.setObserver(check);
  while (!reader.empty()) receiver.handleKey(Fuzz::readKeyStroke(reader));
  // Whatever was added went through the loader: the phrase file is still
  // one it can read.
  loader->reloadIfChanged();
  return 0;
}
