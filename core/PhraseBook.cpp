#include "core/PhraseBook.h"

#include <glib.h>

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

#include "base/FileAccess.h"
#include "engine/KeyHandler.h"
#include "engine/KeyHandlerStrings.h"
#include "models/LearntWordStore.h"
#include "models/LearntWords.h"
#include "models/UserFileParser.h"
#include "text/Utf8.h"

namespace Kestova {

namespace fs = std::filesystem;
using File = UserFilesEditor::File;
using Entry = PhraseBook::Entry;
using Source = PhraseBook::Source;

namespace {

constexpr std::string_view kBlanks = " \t\r\n";
// A built-in phrase longer than this many syllables is no use in proposing
// a reading (user phrases have at most kMaxUserPhraseReadings).
constexpr std::size_t kLongestProposalPhrase = kMaxUserPhraseReadings;

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
}

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string quotedValue(std::string_view value) {
  return "「" + std::string(value) + "」";
}

// A reading with spaces between its syllables, as the window shows it.
std::string spaced(std::string_view reading) {
  std::string text(reading);
  std::replace(text.begin(), text.end(), '-', ' ');
  return text;
}

// A learnt word's weight as the learnt-word file writes it.
std::string weightText(const LearntWords::Word& word) {
  std::string line = formatLearntFile({word});  // "VALUE READING WEIGHT\n"
  line.pop_back();
  return line.substr(line.rfind(' ') + 1);
}

// Why a user file could not be read, in the window's words.
std::string readProblem(const FileAccess::ReadResult& read) {
  switch (read.status) {
    case FileAccess::ReadStatus::Ok:
      return {};
    case FileAccess::ReadStatus::Missing:
      return "找不到這個檔案";
    case FileAccess::ReadStatus::NotRegularFile:
      return "不是一般檔案";
    case FileAccess::ReadStatus::TooLarge:
      return "檔案大於 " + std::to_string(read.limit >> 20) + " MB";
    case FileAccess::ReadStatus::Failed:
      return "無法讀取（" + read.reason() + "）";
  }
  return {};
}

// Calls visit(number, line) for each line of text, 1-based, without its
// end (LF, CR LF or CR), as the user file parser splits lines.
template <typename Visit>
void forEachTextLine(std::string_view text, Visit visit) {
  std::size_t number = 1;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    visit(number++, text.substr(0, end));
    if (end == std::string_view::npos) return;
    std::size_t next = end + 1;
    if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    text.remove_prefix(next);
  }
}

// The readings of a replacement entry (" / " between them), one by one.
std::vector<std::string_view> readingsOf(const PhraseBook::Entry& entry) {
  std::vector<std::string_view> readings;
  std::string_view rest = entry.reading;
  while (!rest.empty()) {
    const std::size_t bar = rest.find(" / ");
    readings.push_back(rest.substr(0, bar));
    if (bar == std::string_view::npos) break;
    rest.remove_prefix(bar + 3);
  }
  return readings;
}

}  // namespace

std::string_view PhraseBook::sourceLabel(Source source) {
  switch (source) {
    case Source::Added:
      return "加入";
    case Source::Learnt:
      return "學習";
    case Source::Replaced:
      return "取代";
    case Source::Excluded:
      return "排除";
    case Source::BuiltIn:
      return "內建";
  }
  return {};
}

namespace {

// The user data directory, made as the module makes it when it starts, so
// that the loader can make the user files directory in it.
const std::string& madeDirectory(const std::string& directory) {
  if (!directory.empty()) g_mkdir_with_parents(directory.c_str(), 0700);
  return directory;
}

}  // namespace

PhraseBook::PhraseBook(const std::string& dataRoot, const std::string& userDataDirectory,
                       const BpmfKeyboardLayout* layout)
    : loader_(std::make_unique<LanguageModelLoader>(
          std::make_unique<LoaderStrings>(),
          LanguageModelLoader::Paths{dataRoot, madeDirectory(userDataDirectory)})),
      editor_(loader_->userFilesDirectory()),
      layout_(layout ? layout : BpmfKeyboardLayout::StandardLayout()) {
  const std::string builtIn = loader_->dataFilePath(LanguageModelLoader::kBuiltInDataFile);
  if (!builtIn.empty()) builtIn_.open(builtIn);
  if (!loader_->userFilesDirectory().empty()) {
    for (File file :
         {File::Phrases, File::LearntWords, File::Replacements, File::ExcludedPhrases}) {
      watched_.emplace_back(editor_.pathOf(file));
    }
  }
  readUserFiles();
}

PhraseBook::~PhraseBook() = default;

bool PhraseBook::refreshIfChanged() {
  const bool changed = std::any_of(watched_.begin(), watched_.end(),
                                   [](const WatchedFile& file) { return file.changed(); });
  if (!changed) return false;
  loader_->reloadIfChanged();
  readUserFiles();
  return true;
}

namespace {

// A user file as the list shows it.
struct ListedFile {
  File file;
  Source source;
  // A file that may be absent without a word about it.
  bool optional;
};
constexpr ListedFile kListedFiles[] = {
    {File::Phrases, Source::Added, false},
    {File::LearntWords, Source::Learnt, true},
    {File::Replacements, Source::Replaced, true},
    {File::ExcludedPhrases, Source::Excluded, false},
};

using ValueSet = std::set<std::string, std::less<>>;

// The learnt words as the learnt-word store reads them.
void listLearntWords(std::string_view bytes, std::vector<Entry>& entries,
                     std::vector<std::size_t>& malformed) {
  LearntFileContents contents = parseLearntFile(bytes);
  for (const LearntWords::Word& word : contents.words) {
    entries.push_back(Entry{Source::Learnt, word.value, word.reading, weightText(word)});
  }
  malformed = std::move(contents.damagedLines);
}

// The entries of a phrase or replacement file; a replacement's value goes
// into `replacedValues`. False when the file holds a NUL byte.
bool listUserFileEntries(std::string_view bytes, const ListedFile& listed,
                         std::vector<Entry>& entries, ValueSet& replacedValues,
                         std::vector<std::size_t>& malformed) {
  const auto list = [&](const UserFileEntry& line) {
    if (listed.source != Source::Replaced) {
      entries.push_back(Entry{listed.source, std::string(line.value), std::string(line.key), {}});
      return;
    }
    entries.push_back(Entry{listed.source, std::string(line.key), {}, std::string(line.value)});
    replacedValues.emplace(line.key);
  };
  return forEachUserFileEntry(bytes, UserFilesEditor::kindOf(listed.file), list, &malformed);
}

// What the window says of the lines of a file that could not be read: the
// first five line numbers.
std::string malformedLinesProblem(const std::string& name,
                                  const std::vector<std::size_t>& malformed) {
  std::string lines;
  for (std::size_t i = 0; i < malformed.size() && i < 5; ++i) {
    lines += (i ? "、" : "") + std::to_string(malformed[i]);
  }
  if (malformed.size() > 5) lines += "…";
  return name + "：第 " + lines + " 行無法讀取（不是 UTF-8 文字，或格式不對），已略過";
}

// Lists one user file into `entries`, and what is wrong with it into
// `problems`.
void listUserFile(const fs::path& path, const ListedFile& listed, std::vector<Entry>& entries,
                  std::vector<std::string>& problems, ValueSet& replacedValues) {
  const std::string name = path.filename().string();
  const bool learnt = listed.file == File::LearntWords;
  FileAccess::ReadResult read = FileAccess::readFile(
      path.string(), learnt ? LearntWordStore::kFileLimit : FileAccess::kUserFileLimit);
  if (!read.ok()) {
    if (!(listed.optional && read.status == FileAccess::ReadStatus::Missing)) {
      problems.push_back(name + "：" + readProblem(read));
    }
    return;
  }
  std::vector<std::size_t> malformed;
  if (learnt) {
    listLearntWords(read.bytes, entries, malformed);
  } else if (!listUserFileEntries(read.bytes, listed, entries, replacedValues, malformed) &&
             !read.bytes.empty()) {
    problems.push_back(name + "：檔案裡有 NUL 位元組，整個檔案都沒有用上");
  }
  if (!malformed.empty()) problems.push_back(malformedLinesProblem(name, malformed));
}

// A replacement applies to its value wherever the value is typed: its
// entries show the readings the value has in the built-in data.
void showReplacedReadings(const BuiltInPhrases& builtIn, const ValueSet& replacedValues,
                          std::vector<Entry>& entries) {
  if (replacedValues.empty()) return;
  std::map<std::string, std::string, std::less<>> readings;
  builtIn.forEachPhrase([&](const BuiltInPhrases::Phrase& phrase) {
    if (replacedValues.contains(phrase.value)) {
      std::string& text = readings[std::string(phrase.value)];
      if (!text.empty()) text += " / ";
      text += phrase.reading;
    }
    return true;
  });
  for (Entry& entry : entries) {
    if (entry.source != Source::Replaced) continue;
    auto found = readings.find(entry.value);
    if (found != readings.end()) entry.reading = found->second;
  }
}

}  // namespace

void PhraseBook::readUserFiles() {
  entries_.clear();
  problems_.clear();
  if (!builtIn_.isOpen()) problems_.push_back("無法開啟內建詞庫：無法提供注音，也無法搜尋內建的詞");
  if (loader_->userFilesDirectory().empty()) {
    problems_.push_back("無法使用使用者的詞庫資料夾：" + loader_->userDataDirectory());
    return;
  }
  for (WatchedFile& file : watched_) file.remember();
  ValueSet replacedValues;
  for (const ListedFile& listed : kListedFiles) {
    listUserFile(editor_.pathOf(listed.file), listed, entries_, problems_, replacedValues);
  }
  showReplacedReadings(builtIn_, replacedValues, entries_);
}

PhraseBook::SearchResult PhraseBook::search(std::string_view query, std::size_t builtInLimit) {
  SearchResult result;
  const std::string_view text = trimmed(query);
  if (text.empty()) {
    result.entries = entries_;
    return result;
  }
  std::optional<ReadingPattern> pattern = ReadingPattern::fromBopomofo(text);
  if (!pattern && isAscii(text)) pattern = ReadingPattern::fromKeys(text, *layout_);
  ReadingPattern::SyllableCache syllables;
  const auto readingMatches = [&](std::string_view reading) {
    return pattern && !reading.empty() && pattern->foundIn(reading, syllables);
  };

  std::set<std::pair<std::string, std::string>, std::less<>> listed;
  for (const Entry& entry : entries_) {
    bool match =
        entry.value.find(text) != std::string::npos || entry.detail.find(text) != std::string::npos;
    if (!match && entry.source == Source::Replaced) {
      for (std::string_view reading : readingsOf(entry)) match = match || readingMatches(reading);
    } else if (!match) {
      match = readingMatches(entry.reading);
    }
    if (!match) continue;
    result.entries.push_back(entry);
    if (entry.source != Source::Replaced) listed.emplace(entry.reading, entry.value);
  }

  // The likeliest of the built-in phrases that match, likeliest first.
  std::vector<std::pair<double, BuiltInPhrases::Phrase>> found;
  builtIn_.forEachPhrase([&](const BuiltInPhrases::Phrase& phrase) {
    if ((phrase.value.find(text) != std::string_view::npos || readingMatches(phrase.reading)) &&
        !listed.contains(std::pair{std::string(phrase.reading), std::string(phrase.value)})) {
      found.emplace_back(phrase.score(), phrase);
    }
    return true;
  });
  const auto likelier = [](const auto& a, const auto& b) { return a.first > b.first; };
  if (found.size() > builtInLimit) {
    result.builtInCut = true;
    std::nth_element(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(builtInLimit),
                     found.end(), likelier);
    found.resize(builtInLimit);
  }
  std::stable_sort(found.begin(), found.end(), likelier);
  for (const auto& [score, phrase] : found) {
    result.entries.push_back(
        Entry{Source::BuiltIn, std::string(phrase.value), std::string(phrase.reading), {}});
  }
  return result;
}

namespace {

using CharacterReadings = PhraseBook::CharacterReadings;
using PhrasesByValue = std::unordered_map<std::string, BuiltInPhrases::Phrase>;

// The best-scoring built-in phrase of each value inside the text, whose
// syllables are one per character.
PhrasesByValue phrasesToPropose(const BuiltInPhrases& builtIn, std::string_view text) {
  PhrasesByValue phrases;
  for (const BuiltInPhrases::Phrase& phrase : builtIn.phrasesInside(text)) {
    const std::size_t syllables =
        static_cast<std::size_t>(std::count(phrase.reading.begin(), phrase.reading.end(), '-')) + 1;
    if (syllables > kLongestProposalPhrase ||
        Utf8::splitCharacters(phrase.value).size() != syllables) {
      continue;
    }
    auto [found, inserted] = phrases.emplace(std::string(phrase.value), phrase);
    if (!inserted && phrase.score() > found->second.score()) found->second = phrase;
  }
  return phrases;
}

// Chooses for the `length` characters from `start` on the syllables of
// `reading` (one per character), adding each to its character's readings
// if missing.
void chooseReadings(std::vector<CharacterReadings>& choices, std::size_t start, std::size_t length,
                    std::string_view reading) {
  for (std::size_t i = start; i < start + length; ++i) {
    const std::size_t dash = reading.find('-');
    const std::string syllable(reading.substr(0, dash));
    reading.remove_prefix(dash == std::string_view::npos ? reading.size() : dash + 1);
    std::vector<std::string>& readings = choices[i].readings;
    auto at = std::find(readings.begin(), readings.end(), syllable);
    if (at == readings.end()) at = readings.insert(readings.end(), syllable);
    choices[i].chosen = static_cast<std::size_t>(at - readings.begin());
  }
}

// The longest of `phrases` (two characters or more) that starts at
// `start`; null when none does.
const BuiltInPhrases::Phrase* longestPhraseAt(const std::vector<CharacterReadings>& choices,
                                              std::size_t start, const PhrasesByValue& phrases,
                                              std::size_t* length) {
  for (*length = std::min(kLongestProposalPhrase, choices.size() - start); *length >= 2;
       --*length) {
    std::string value;
    for (std::size_t i = start; i < start + *length; ++i) value += choices[i].character;
    auto found = phrases.find(value);
    if (found != phrases.end()) return &found->second;
  }
  return nullptr;
}

}  // namespace

std::vector<PhraseBook::CharacterReadings> PhraseBook::proposeReadings(std::string_view text) {
  std::vector<CharacterReadings> choices;
  for (std::string_view character : Utf8::splitCharacters(trimmed(text))) {
    CharacterReadings choice;
    choice.character = character;
    for (const BuiltInPhrases::Phrase& phrase : builtIn_.readingsOfCharacter(character)) {
      choice.readings.emplace_back(phrase.reading);
    }
    choices.push_back(std::move(choice));
  }
  if (choices.size() < 2) return choices;

  const PhrasesByValue phrases = phrasesToPropose(builtIn_, trimmed(text));
  // From the left, the longest phrase that starts at each place gives its
  // characters their readings.
  for (std::size_t start = 0; start + 1 < choices.size();) {
    std::size_t length = 0;
    const BuiltInPhrases::Phrase* phrase = longestPhraseAt(choices, start, phrases, &length);
    if (!phrase) {
      ++start;
      continue;
    }
    chooseReadings(choices, start, length, phrase->reading);
    start += length;
  }
  return choices;
}

std::optional<std::string> PhraseBook::proposedReading(
    const std::vector<CharacterReadings>& choices) {
  if (choices.empty()) return std::nullopt;
  std::string reading;
  for (const CharacterReadings& choice : choices) {
    if (choice.chosen >= choice.readings.size()) return std::nullopt;
    if (!reading.empty()) reading += '-';
    reading += choice.readings[choice.chosen];
  }
  return reading;
}

std::optional<std::string> PhraseBook::readingOfTyped(std::string_view typed) const {
  typed = trimmed(typed);
  std::optional<ReadingPattern> pattern = ReadingPattern::fromBopomofo(typed);
  if (!pattern && isAscii(typed)) pattern = ReadingPattern::fromKeys(typed, *layout_);
  if (!pattern) return std::nullopt;
  for (BpmfSyllable syllable : pattern->syllables()) {
    if (syllable.isToneMarkerOnly()) return std::nullopt;
  }
  return pattern->reading();
}

std::optional<std::string> PhraseBook::knownReading(std::string_view typed,
                                                    std::string* bad) const {
  std::optional<std::string> reading = readingOfTyped(typed);
  if (!reading) {
    *bad = trimmed(typed);
    return std::nullopt;
  }
  // Only a syllable that some phrase has can be typed.
  std::string_view rest = *reading;
  const auto model = loader_->languageModel();
  while (true) {
    const std::size_t dash = rest.find('-');
    const std::string_view syllable = rest.substr(0, dash);
    if (!model->hasScoredPhrases(syllable)) {
      *bad = syllable;
      return std::nullopt;
    }
    if (dash == std::string_view::npos) break;
    rest.remove_prefix(dash + 1);
  }
  return reading;
}

PhraseBook::Verdict PhraseBook::checkReading(std::string_view value, const std::string& reading) {
  KeyHandlerStrings strings;
  const std::size_t count =
      static_cast<std::size_t>(std::count(reading.begin(), reading.end(), '-')) + 1;
  const UserPhraseCheck check =
      checkUserPhrase(count, reading, value, loader_->languageModel().get());
  return Verdict{check == UserPhraseCheck::CanAdd, KeyHandler::userPhraseStatus(strings, check),
                 reading};
}

PhraseBook::Verdict PhraseBook::check(std::string_view value, std::string_view typedReading) {
  value = trimmed(value);
  if (value.empty()) return Verdict{false, "請輸入要加入的詞", {}};
  if (trimmed(typedReading).empty()) return Verdict{false, "請輸入注音", {}};
  std::string bad;
  const std::optional<std::string> reading = knownReading(typedReading, &bad);
  if (!reading) return Verdict{false, KeyHandlerStrings().notASyllable(bad), {}};
  return checkReading(value, *reading);
}

PhraseBook::Result PhraseBook::finish(const UserFilesEditor::Outcome& outcome, std::string done) {
  if (!outcome.ok) {
    return Result{false, "無法寫入使用者的詞庫檔（" + outcome.failure + "）"};
  }
  loader_->reloadIfChanged();
  readUserFiles();
  return Result{true, std::move(done)};
}

PhraseBook::Result PhraseBook::add(std::string_view value, std::string_view typedReading) {
  value = trimmed(value);
  const Verdict verdict = check(value, typedReading);
  if (!verdict.canAdd) return Result{false, verdict.message};
  return finish(editor_.addPhrase({verdict.reading, std::string(value)}),
                "已加入" + quotedValue(value) + "（" + spaced(verdict.reading) + "）");
}

PhraseBook::Result PhraseBook::remove(const Entry& entry) {
  const UserFilesEditor::Phrase phrase{entry.reading, entry.value};
  switch (entry.source) {
    case Source::Added:
      return finish(editor_.removePhrase(phrase), "已移除" + quotedValue(entry.value));
    case Source::Learnt:
      return finish(editor_.removeLearntWord(phrase), "已移除學習的" + quotedValue(entry.value));
    case Source::Replaced:
      return finish(editor_.removeReplacement(entry.value, entry.detail),
                    "已移除取代" + quotedValue(entry.value) + "→" + quotedValue(entry.detail));
    case Source::Excluded:
      return finish(editor_.includePhrase(phrase), quotedValue(entry.value) + "不再排除");
    case Source::BuiltIn:
      break;
  }
  return Result{false, "內建的詞無法移除，只能排除"};
}

PhraseBook::Result PhraseBook::exclude(const Entry& entry) {
  switch (entry.source) {
    case Source::Added:
    case Source::Learnt:
    case Source::BuiltIn:
      return finish(editor_.excludePhrase({entry.reading, entry.value}),
                    "已排除" + quotedValue(entry.value) + "，不會再出現在候選字裡");
    case Source::Excluded:
      return Result{false, quotedValue(entry.value) + "已經排除了"};
    case Source::Replaced:
      break;
  }
  return Result{false, "取代的詞無法排除，只能移除"};
}

PhraseBook::Result PhraseBook::undo() {
  if (!editor_.canUndo()) return Result{false, "沒有可以復原的變更"};
  return finish(editor_.undo(), "已復原上一個變更");
}

namespace {

// The text of a file to import, without a byte-order mark and a NUL byte
// that ends it; none when a NUL byte stands anywhere else.
std::optional<std::string_view> importableText(std::string_view data) {
  if (data.starts_with(kByteOrderMark)) data.remove_prefix(kByteOrderMark.size());
  if (!data.empty() && data.back() == '\0') data.remove_suffix(1);
  if (data.find('\0') != std::string_view::npos) return std::nullopt;
  return data;
}

}  // namespace

std::optional<std::string> PhraseBook::importedPhrase(std::string_view line,
                                                      UserFilesEditor::Phrase& phrase) {
  std::optional<UserFileEntry> entry;
  std::vector<std::size_t> malformed;
  forEachUserFileEntry(
      line, UserFileKind::kPhrases, [&](const UserFileEntry& found) { entry = found; }, &malformed);
  if (!malformed.empty()) return "不是 UTF-8 文字";
  if (!entry) return "只有一欄，沒有注音";
  // The file format spells readings in Bopomofo; keys are no reading here.
  std::optional<ReadingPattern> pattern = ReadingPattern::fromBopomofo(entry->key);
  std::string bad;
  const std::optional<std::string> reading =
      pattern ? knownReading(pattern->reading(), &bad) : std::nullopt;
  if (!reading) return KeyHandlerStrings().notASyllable(pattern ? bad : std::string(entry->key));
  phrase = UserFilesEditor::Phrase{*reading, std::string(entry->value)};
  const Verdict verdict = checkReading(phrase.value, phrase.reading);
  if (!verdict.canAdd) return verdict.message;
  return std::nullopt;
}

PhraseBook::ImportReport PhraseBook::importFile(const std::string& path) {
  ImportReport report;
  FileAccess::ReadResult read = FileAccess::readFile(path, FileAccess::kUserFileLimit);
  if (!read.ok()) {
    report.message = "無法匯入 " + path + "：" + readProblem(read);
    return report;
  }
  const std::optional<std::string_view> data = importableText(read.bytes);
  if (!data) {
    report.message = "無法匯入 " + path + "：檔案裡有 NUL 位元組";
    return report;
  }

  std::vector<UserFilesEditor::Phrase> accepted;
  std::set<UserFilesEditor::Phrase> seen;
  forEachTextLine(*data, [&](std::size_t number, std::string_view line) {
    const std::string_view text = trimmed(line);
    if (text.empty() || text.front() == '#') return;
    UserFilesEditor::Phrase phrase;
    std::optional<std::string> skipped = importedPhrase(line, phrase);
    if (!skipped && seen.contains(phrase)) skipped = KeyHandlerStrings().phraseAlreadyPresent();
    if (skipped) {
      report.skipped.emplace_back(number, std::move(*skipped));
      return;
    }
    seen.insert(phrase);
    accepted.push_back(std::move(phrase));
  });
  addImported(accepted, report);
  return report;
}

void PhraseBook::addImported(const std::vector<UserFilesEditor::Phrase>& accepted,
                             ImportReport& report) {
  if (!accepted.empty()) {
    const UserFilesEditor::Outcome outcome = editor_.addPhrases(accepted);
    if (!outcome.ok) {
      report.message = "無法寫入使用者的詞庫檔（" + outcome.failure + "）";
      return;
    }
    report.added = outcome.added;
    loader_->reloadIfChanged();
    readUserFiles();
  }
  report.ok = true;
  report.message = "匯入了 " + std::to_string(report.added) + " 個詞";
  if (!report.skipped.empty()) {
    report.message += "，略過 " + std::to_string(report.skipped.size()) + " 行";
  }
}

PhraseBook::Result PhraseBook::exportFile(const std::string& path) {
  std::string text = "# Kestova 自訂詞庫：每行一個詞，後面接注音，音節之間用「-」連接\n";
  std::size_t count = 0;
  for (const Entry& entry : entries_) {
    if (entry.source != Source::Added) continue;
    text += entry.value + " " + entry.reading + "\n";
    ++count;
  }
  std::string failure;
  if (!FileAccess::replaceFile(path, text, &failure)) {
    return Result{false, "無法寫入 " + path + "（" + failure + "）"};
  }
  return Result{true, "匯出了 " + std::to_string(count) + " 個詞到 " + path};
}

}  // namespace Kestova
