// The phrase page's logic without a display: what it lists from the user
// files, how it searches and proposes readings, the key handler's checks and
// texts, and what every change leaves in the files.
#include "core/PhraseBook.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/KeyHandlerStrings.h"
#include "models/LearntWordStore.h"
#include "models/SortedPhraseFile.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;
using Source = PhraseBook::Source;
using Entry = PhraseBook::Entry;
using Testing::readFile;
using Testing::TempDir;

const std::vector<std::string> kBuiltIn = {
    "ㄏㄠˇ 好 -3",         "ㄏㄤˊ 行 -4.2",     "ㄋㄧˇ 你 -3",
    "ㄋㄧˇ-ㄏㄠˇ 你好 -2", "ㄒㄧㄥˊ 行 -3.1",   "ㄒㄧㄥˊ 型 -3.9",
    "ㄐㄧㄝ 街 -4",        "ㄧㄣˊ 銀 -3.5",     "ㄧㄣˊ-ㄏㄤˊ 銀行 -2.9",
    "ㄘㄜˋ 測 -3.5",       "ㄘㄜˋ 策 -3",       "ㄕˋ 試 -3.5",
    "ㄕˋ 士 -3",           "ㄘㄜˋ-ㄕˋ 測試 -2", "ㄘㄜˋ-ㄕˋ 側視 -2.5",
    "ㄊㄞˊ 台 -3",         "ㄊㄞˊ 臺 -3.3",     "ㄊㄞˊ-ㄨㄢ 台灣 -2.5",
    "ㄨㄢ 灣 -3.4",        "ㄅㄚ 八 -3",        "ㄐㄧㄚ 家 -3",
    "ㄋㄧㄡˊ 牛 -3",       "ㄩㄝ 約 -3.2",      "_punctuation_, ， -1",
};

// A data root with a small built-in file and a home whose user files the
// test writes before the book is opened.
class PhraseBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<PhraseFileLine> lines;
    for (const std::string& line : kBuiltIn) lines.push_back(parsePhraseFileLine(line));
    fs::create_directories(dir_.path() / "root/data");
    ASSERT_TRUE(writeSortedPhraseFile((dir_.path() / "root/data/kestova-data.txt").string(),
                                      std::move(lines)));
    fs::create_directories(userFiles());
  }

  fs::path userFiles() const { return dir_.path() / "home/.gcin/kestova/kestova"; }
  fs::path file(const char* name) const { return userFiles() / name; }
  void write(const char* name, const std::string& text) {
    dir_.write("home/.gcin/kestova/kestova/" + std::string(name), text);
  }
  std::string read(const char* name) const { return readFile(file(name).string()); }

  PhraseBook& open(const BpmfKeyboardLayout* layout = BpmfKeyboardLayout::StandardLayout()) {
    book_ = std::make_unique<PhraseBook>((dir_.path() / "root").string(),
                                         (dir_.path() / "home/.gcin/kestova").string(), layout);
    return *book_;
  }

  static std::vector<std::string> values(const std::vector<Entry>& entries) {
    std::vector<std::string> out;
    for (const Entry& entry : entries) {
      out.push_back(std::string(PhraseBook::sourceLabel(entry.source)) + " " + entry.value);
    }
    return out;
  }

  TempDir dir_;
  ScopedLogCapture log_;
  std::unique_ptr<PhraseBook> book_;
  KeyHandlerStrings strings_;
};

TEST_F(PhraseBookTest, ListsEveryUserFileWithWhereItComesFrom) {
  write("data.txt", "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\nNew York ㄋㄧㄡˊ-ㄩㄝ\n");
  write("learnt.txt", "測試 ㄘㄜˋ-ㄕˋ 0.5\n");
  write("phrases-replacement.txt", "台 臺\n");
  write("exclude-phrases.txt", "側視 ㄘㄜˋ-ㄕˋ\n");
  PhraseBook& book = open();
  EXPECT_EQ(book.entries(), (std::vector<Entry>{
                                {Source::Added, "策士", "ㄘㄜˋ-ㄕˋ", ""},
                                {Source::Added, "New York", "ㄋㄧㄡˊ-ㄩㄝ", ""},
                                {Source::Learnt, "測試", "ㄘㄜˋ-ㄕˋ", "0.5"},
                                // Where the replaced value is typed.
                                {Source::Replaced, "台", "ㄊㄞˊ", "臺"},
                                {Source::Excluded, "側視", "ㄘㄜˋ-ㄕˋ", ""},
                            }));
  EXPECT_TRUE(book.problems().empty()) << book.problems().front();
  EXPECT_EQ(PhraseBook::sourceLabel(Source::Learnt), "學習");
}

TEST_F(PhraseBookTest, AFileItCannotReadIsNamedAndTheOthersAreListed) {
  write("data.txt", "策士 ㄘㄜˋ-ㄕˋ\n");
  write("exclude-phrases.txt", "側視 ㄘㄜˋ-ㄕˋ\n");
  // Too large (sparse, so it costs nothing), a FIFO nobody writes to, a
  // directory, a NUL byte, a line in another encoding.
  write("learnt.txt", "");
  fs::resize_file(file("learnt.txt"), LearntWordStore::kFileLimit + 1);
  ASSERT_EQ(::mkfifo(file("phrases-replacement.txt").c_str(), 0600), 0);
  PhraseBook& book = open();
  EXPECT_EQ(values(book.entries()), (std::vector<std::string>{"加入 策士", "排除 側視"}));
  EXPECT_EQ(book.problems(), (std::vector<std::string>{"learnt.txt：檔案大於 1 MB",
                                                       "phrases-replacement.txt：不是一般檔案"}));

  fs::remove(file("learnt.txt"));
  fs::remove(file("phrases-replacement.txt"));
  fs::create_directory(file("learnt.txt"));
  write("data.txt", std::string("策士 ㄘㄜˋ-ㄕˋ\n\0", 19));
  write("exclude-phrases.txt", "側視 ㄘㄜˋ-ㄕˋ\n\xb4\xfa\xb8\xd5 ㄘㄜˋ-ㄕˋ\n");
  write("data.txt", std::string("策士 ㄘㄜˋ-ㄕˋ\n\0x ㄅ\n", 24));
  EXPECT_TRUE(book.refreshIfChanged());
  EXPECT_EQ(values(book.entries()), (std::vector<std::string>{"排除 側視"}));
  EXPECT_EQ(book.problems(),
            (std::vector<std::string>{
                "data.txt：檔案裡有 NUL 位元組，整個檔案都沒有用上",
                "learnt.txt：不是一般檔案",
                "exclude-phrases.txt：第 2 行無法讀取（不是 UTF-8 文字，或格式不對），已略過",
            }));
}

TEST_F(PhraseBookTest, AMissingLearntOrReplacementFileIsNoProblem) {
  PhraseBook& book = open();
  // The loader made the two phrase files from its templates.
  EXPECT_TRUE(fs::exists(file("data.txt")));
  EXPECT_TRUE(fs::exists(file("exclude-phrases.txt")));
  EXPECT_TRUE(book.entries().empty());
  EXPECT_TRUE(book.problems().empty());
}

TEST_F(PhraseBookTest, SearchesTextAndReadingsTypedAsBopomofoOrKeys) {
  write("data.txt", "策士 ㄘㄜˋ-ㄕˋ\n行家 ㄏㄤˊ-ㄐㄧㄚ\n");
  write("exclude-phrases.txt", "測試 ㄘㄜˋ-ㄕˋ\n");
  write("phrases-replacement.txt", "台 臺\n");
  PhraseBook& book = open();
  const struct {
    const char* query;
    std::vector<std::string> found;
  } cases[] = {
      {"", {"加入 策士", "加入 行家", "取代 台", "排除 測試"}},
      // Text: the user's entries first, then the built-in phrases that are
      // not among them, likeliest first.
      {"行", {"加入 行家", "內建 銀行", "內建 行", "內建 行"}},
      {"臺", {"取代 台", "內建 臺"}},
      // A reading, whole or in part, in Bopomofo or as Standard keys.
      {"ㄘㄜˋㄕˋ", {"加入 策士", "排除 測試", "內建 側視"}},
      {"ㄘ ㄕ", {"加入 策士", "排除 測試", "內建 側視"}},
      {"hk4g4", {"加入 策士", "排除 測試", "內建 側視"}},
      {"ㄊㄞˊ", {"取代 台", "內建 台灣", "內建 台", "內建 臺"}},
      {"ㄏㄤˊ", {"加入 行家", "內建 銀行", "內建 行"}},
      {"c;6", {"加入 行家", "內建 銀行", "內建 行"}},
      {"  ", {"加入 策士", "加入 行家", "取代 台", "排除 測試"}},
      {"沒有", {}},
  };
  for (const auto& c : cases) {
    const PhraseBook::SearchResult result = book.search(c.query);
    EXPECT_EQ(values(result.entries), c.found) << c.query;
    EXPECT_FALSE(result.builtInCut);
  }
  // Keys of the user's layout: ㄏㄤˊ is "h0" and ㄘㄜˋ "'r4" on ETen.
  EXPECT_EQ(values(open(BpmfKeyboardLayout::ETenLayout()).search("h02").entries),
            (std::vector<std::string>{"加入 行家", "內建 銀行", "內建 行"}));
  // Past the limit the likeliest are listed, and the list says that there
  // is more.
  const PhraseBook::SearchResult cut = book_->search("ㄊ", 2);
  EXPECT_EQ(values(cut.entries), (std::vector<std::string>{"取代 台", "內建 台灣", "內建 台"}));
  EXPECT_TRUE(cut.builtInCut);
}

TEST_F(PhraseBookTest, ProposesEachCharactersReadingThePhrasesInsideFirst) {
  PhraseBook& book = open();
  const struct {
    const char* text;
    const char* reading;
  } cases[] = {
      {"行", "ㄒㄧㄥˊ"},
      // 行 reads ㄏㄤˊ in 銀行, and ㄒㄧㄥˊ, its likeliest, alone.
      {"銀行", "ㄧㄣˊ-ㄏㄤˊ"},
      {"銀行街", "ㄧㄣˊ-ㄏㄤˊ-ㄐㄧㄝ"},
      {"行銀行", "ㄒㄧㄥˊ-ㄧㄣˊ-ㄏㄤˊ"},
      {"你好行", "ㄋㄧˇ-ㄏㄠˇ-ㄒㄧㄥˊ"},
      {" 策士 ", "ㄘㄜˋ-ㄕˋ"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PhraseBook::proposedReading(book.proposeReadings(c.text)), c.reading) << c.text;
  }
  std::vector<PhraseBook::CharacterReadings> choices = book.proposeReadings("銀行");
  ASSERT_EQ(choices.size(), 2u);
  EXPECT_EQ(choices[1].character, "行");
  EXPECT_EQ(choices[1].readings, (std::vector<std::string>{"ㄒㄧㄥˊ", "ㄏㄤˊ"}));
  EXPECT_EQ(choices[1].chosen, 1u);
  // Another choice for a character changes the reading.
  choices[1].chosen = 0;
  EXPECT_EQ(PhraseBook::proposedReading(choices), "ㄧㄣˊ-ㄒㄧㄥˊ");
  // A character the data does not know leaves the reading to the user.
  EXPECT_EQ(PhraseBook::proposedReading(book.proposeReadings("X光")), std::nullopt);
  EXPECT_EQ(PhraseBook::proposedReading(book.proposeReadings("")), std::nullopt);
}

TEST_F(PhraseBookTest, ChecksAPhraseAsTheKeyHandlerChecksMarkedText) {
  write("data.txt", "銀型 ㄧㄣˊ-ㄒㄧㄥˊ\n");
  PhraseBook& book = open();
  const std::string canAdd = strings_.pressEnterToAdd();
  const struct {
    const char* value;
    const char* reading;
    bool canAdd;
    std::string message;
    const char* stored;
  } cases[] = {
      {"策士", "ㄘㄜˋ ㄕˋ", true, canAdd, "ㄘㄜˋ-ㄕˋ"},
      {"策士", "ㄘㄜˋ-ㄕˋ", true, canAdd, "ㄘㄜˋ-ㄕˋ"},
      {"策士", "hk4g4", true, canAdd, "ㄘㄜˋ-ㄕˋ"},
      {"New York", "ㄘㄜˋ ㄕˋ", true, canAdd, "ㄘㄜˋ-ㄕˋ"},
      // Built-in, and added by the user.
      {"測試", "ㄘㄜˋ ㄕˋ", false, strings_.phraseAlreadyPresent(), "ㄘㄜˋ-ㄕˋ"},
      {"銀型", "ㄧㄣˊ ㄒㄧㄥˊ", false, strings_.phraseAlreadyPresent(), "ㄧㄣˊ-ㄒㄧㄥˊ"},
      {"策", "ㄘㄜˋ", false, strings_.tooFewCharacters(2), "ㄘㄜˋ"},
      {"八八八八八八八八八", "ㄅㄚ ㄅㄚ ㄅㄚ ㄅㄚ ㄅㄚ ㄅㄚ ㄅㄚ ㄅㄚ ㄅㄚ", false,
       strings_.tooManyCharacters(8), "ㄅㄚ-ㄅㄚ-ㄅㄚ-ㄅㄚ-ㄅㄚ-ㄅㄚ-ㄅㄚ-ㄅㄚ-ㄅㄚ"},
      {"#策士", "ㄘㄜˋ ㄕˋ", false, strings_.phraseCannotBeStored(), "ㄘㄜˋ-ㄕˋ"},
      // A syllable no phrase has cannot be typed; neither is text that is
      // no reading at all.
      {"策士", "ㄅㄧㄚ ㄕˋ", false, strings_.notASyllable("ㄅㄧㄚ"), ""},
      {"策士", "ˋ ㄕˋ", false, strings_.notASyllable("ˋ ㄕˋ"), ""},
      {"策士", "xyz!", false, strings_.notASyllable("xyz!"), ""},
      {"", "ㄘㄜˋ ㄕˋ", false, "請輸入要加入的詞", ""},
      {"策士", " ", false, "請輸入注音", ""},
  };
  for (const auto& c : cases) {
    const PhraseBook::Verdict verdict = book.check(c.value, c.reading);
    EXPECT_EQ(verdict.canAdd, c.canAdd) << c.value << " " << c.reading;
    EXPECT_EQ(verdict.message, c.message) << c.value << " " << c.reading;
    EXPECT_EQ(verdict.reading, c.stored) << c.value << " " << c.reading;
  }
}

TEST_F(PhraseBookTest, AddsRemovesExcludesAndUndoesThroughTheUserFiles) {
  PhraseBook& book = open();
  const std::string data = read("data.txt");
  const std::string excluded = read("exclude-phrases.txt");

  PhraseBook::Result result = book.add(" 策士 ", "hk4g4");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.message, "已加入「策士」（ㄘㄜˋ ㄕˋ）");
  EXPECT_EQ(read("data.txt"), data + "策士 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_EQ(values(book.entries()), (std::vector<std::string>{"加入 策士"}));
  // The model behind the check sees it at once.
  EXPECT_EQ(book.check("策士", "ㄘㄜˋ ㄕˋ").message, strings_.phraseAlreadyPresent());
  // Refused, as the check says.
  result = book.add("策士", "ㄘㄜˋ ㄕˋ");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, strings_.phraseAlreadyPresent());

  result = book.exclude({Source::BuiltIn, "測試", "ㄘㄜˋ-ㄕˋ", ""});
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(read("exclude-phrases.txt"), excluded + "測試 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_TRUE(book.check("測試", "ㄘㄜˋ ㄕˋ").canAdd);

  result = book.remove(book.entries().front());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.message, "已移除「策士」");
  EXPECT_EQ(read("data.txt"), data);
  EXPECT_EQ(values(book.entries()), (std::vector<std::string>{"排除 測試"}));

  // Built-in phrases are excluded, not removed; an excluded one is
  // "removed" from the exclusions.
  EXPECT_FALSE(book.remove({Source::BuiltIn, "側視", "ㄘㄜˋ-ㄕˋ", ""}).ok);
  EXPECT_FALSE(book.exclude(book.entries().front()).ok);

  ASSERT_TRUE(book.canUndo());
  EXPECT_EQ(book.undo().message, "已復原上一個變更");
  EXPECT_EQ(read("data.txt"), data + "策士 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_TRUE(book.undo().ok);
  EXPECT_EQ(read("exclude-phrases.txt"), excluded);
  EXPECT_TRUE(book.undo().ok);
  EXPECT_EQ(read("data.txt"), data);
  EXPECT_FALSE(book.canUndo());
  EXPECT_FALSE(book.undo().ok);

  result = book.remove(Entry{Source::Excluded, "側視", "ㄘㄜˋ-ㄕˋ", ""});
  EXPECT_TRUE(result.ok);
}

TEST_F(PhraseBookTest, RemovesLearntWordsAndReplacementsFromTheirOwnFiles) {
  write("learnt.txt", "測試 ㄘㄜˋ-ㄕˋ 0.5\n好 ㄏㄠˇ 1\n");
  write("phrases-replacement.txt", "台 臺\n");
  PhraseBook& book = open();
  ASSERT_EQ(values(book.entries()), (std::vector<std::string>{"學習 測試", "學習 好", "取代 台"}));
  EXPECT_TRUE(book.remove(book.entries()[0]).ok);
  EXPECT_EQ(read("learnt.txt"), "好 ㄏㄠˇ 1\n");
  EXPECT_TRUE(book.remove(book.entries()[1]).ok);
  EXPECT_EQ(read("phrases-replacement.txt"), "");
  // Excluding a learnt word keeps it learnt but offers it no more.
  EXPECT_TRUE(book.exclude(book.entries()[0]).ok);
  EXPECT_EQ(read("learnt.txt"), "好 ㄏㄠˇ 1\n");
  EXPECT_TRUE(read("exclude-phrases.txt").ends_with("\n好 ㄏㄠˇ\n"));
}

TEST_F(PhraseBookTest, ImportsWhatPassesTheCheckAndSaysWhyTheRestWasSkipped) {
  write("data.txt", "行家 ㄏㄤˊ-ㄐㄧㄚ\n");
  const std::string before = read("data.txt");
  const std::string path = dir_.write("import.txt",
                                      "\xEF\xBB\xBF# 匯入\n"
                                      "策士 ㄘㄜˋ-ㄕˋ\n"
                                      "\n"
                                      "銀型 ㄧㄣˊㄒㄧㄥˊ\r\n"
                                      "策士 ㄘㄜˋ-ㄕˋ\n"
                                      "測試 ㄘㄜˋ-ㄕˋ\n"
                                      "行家 ㄏㄤˊ-ㄐㄧㄚ\n"
                                      "孤單\n"
                                      "策 ㄘㄜˋ\n"
                                      "怪 ㄅㄧㄚ-ㄕˋ\n"
                                      "鍵 hk4g4\n"
                                      "\xb4\xfa\xb8\xd5 ㄘㄜˋ-ㄕˋ\n"
                                      "New York ㄋㄧˇ-ㄏㄠˇ");
  PhraseBook& book = open();
  const PhraseBook::ImportReport report = book.importFile(path);
  EXPECT_TRUE(report.ok);
  EXPECT_EQ(report.added, 3u);
  EXPECT_EQ(report.message, "匯入了 3 個詞，略過 8 行");
  EXPECT_EQ(report.skipped, (std::vector<std::pair<size_t, std::string>>{
                                {5, strings_.phraseAlreadyPresent()},
                                {6, strings_.phraseAlreadyPresent()},
                                {7, strings_.phraseAlreadyPresent()},
                                {8, "只有一欄，沒有注音"},
                                {9, strings_.tooFewCharacters(2)},
                                {10, strings_.notASyllable("ㄅㄧㄚ")},
                                {11, strings_.notASyllable("hk4g4")},
                                {12, "不是 UTF-8 文字"},
                            }));
  EXPECT_EQ(read("data.txt"),
            before + "策士 ㄘㄜˋ-ㄕˋ\n銀型 ㄧㄣˊ-ㄒㄧㄥˊ\nNew York ㄋㄧˇ-ㄏㄠˇ\n");
  // The import is one change.
  EXPECT_TRUE(book.undo().ok);
  EXPECT_EQ(read("data.txt"), before);

  const PhraseBook::ImportReport missing = book.importFile(dir_.file("missing.txt"));
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.message, "無法匯入 " + dir_.file("missing.txt") + "：找不到這個檔案");
  const std::string large = dir_.write("large.txt", "");
  fs::resize_file(large, FileAccess::kUserFileLimit + 1);
  EXPECT_EQ(book.importFile(large).message, "無法匯入 " + large + "：檔案大於 64 MB");
  EXPECT_EQ(read("data.txt"), before);
}

TEST_F(PhraseBookTest, ExportsTheAddedPhrasesInTheUserFileFormat) {
  write("data.txt", "# 註解\n策士 ㄘㄜˋ-ㄕˋ\nNew York ㄋㄧㄡˊ-ㄩㄝ\n");
  write("exclude-phrases.txt", "側視 ㄘㄜˋ-ㄕˋ\n");
  PhraseBook& book = open();
  const std::string path = dir_.file("export.txt");
  const PhraseBook::Result result = book.exportFile(path);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.message, "匯出了 2 個詞到 " + path);
  EXPECT_EQ(readFile(path),
            "# Kestova 自訂詞庫：每行一個詞，後面接注音，音節之間用「-」連接\n"
            "策士 ㄘㄜˋ-ㄕˋ\nNew York ㄋㄧㄡˊ-ㄩㄝ\n");
  // What was exported imports again as it was.
  write("data.txt", "");
  ASSERT_TRUE(book.refreshIfChanged());
  EXPECT_EQ(book.importFile(path).added, 2u);
  EXPECT_EQ(read("data.txt"), "策士 ㄘㄜˋ-ㄕˋ\nNew York ㄋㄧㄡˊ-ㄩㄝ\n");

  EXPECT_FALSE(book.exportFile((dir_.path() / "no/such/folder/x.txt").string()).ok);
}

TEST_F(PhraseBookTest, SeesWhatOthersWroteIntoTheFiles) {
  PhraseBook& book = open();
  EXPECT_FALSE(book.refreshIfChanged());
  // The input method added a phrase the user marked.
  write("data.txt", read("data.txt") + "策士 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_TRUE(book.refreshIfChanged());
  EXPECT_EQ(values(book.entries()), (std::vector<std::string>{"加入 策士"}));
  EXPECT_EQ(book.check("策士", "ㄘㄜˋ ㄕˋ").message, strings_.phraseAlreadyPresent());
  EXPECT_FALSE(book.refreshIfChanged());
  write("learnt.txt", "好 ㄏㄠˇ 1\n");
  EXPECT_TRUE(book.refreshIfChanged());
  EXPECT_EQ(values(book.entries()), (std::vector<std::string>{"加入 策士", "學習 好"}));
}

}  // namespace
}  // namespace Kestova
