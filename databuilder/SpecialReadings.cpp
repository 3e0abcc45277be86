#include "databuilder/SpecialReadings.h"

#include <string>
#include <string_view>
#include <utility>

#include "text/Utf8.h"

namespace Kestova::DataBuilder {

namespace {

using Candidates = std::vector<std::string_view>;

// Candidates of one reading, best first.
void add(std::vector<PhraseFileLine>& lines, const std::string& reading, const Candidates& values) {
  double score = -1.0;
  for (std::string_view value : values) {
    lines.push_back({reading, std::string(value), score});
    score -= 0.01;
  }
}

// Keys that type a syllable on the layouts that use punctuation keys for
// Bopomofo, but are free on the layouts that use letters only; there they
// type the marks the other layouts put on Shift.
constexpr std::string_view kLetterOnlyLayouts[] = {"Hsu", "ETen26", "HanyuPinyin"};

const std::vector<std::pair<std::string_view, Candidates>>& fullWidthMarks() {
  // Taiwanese convention: Shift+, and Shift+. give the comma and the full
  // stop (the unshifted keys are Bopomofo keys on the standard layout).
  static const std::vector<std::pair<std::string_view, Candidates>> kMarks = {
      {"<", {"，", "＜", "〈", "《", "«"}},
      {">", {"。", "＞", "〉", "》", "»"}},
      {"?", {"？", "¿"}},
      {":", {"：", "︰"}},
      {"\"", {"；", "＂", "“", "”", "〝", "〞"}},
      {"'", {"、", "‘", "’", "＇"}},
      {"!", {"！", "¡"}},
      {"@", {"＠", "©", "®"}},
      {"#", {"＃", "№"}},
      {"$", {"＄", "￥", "€", "￡", "￠"}},
      {"%", {"％", "‰", "℃"}},
      {"^", {"…", "︿", "‥"}},
      {"&", {"＆", "§"}},
      {"*", {"＊", "×", "※", "‧"}},
      {"(", {"（", "〔", "【", "﹙"}},
      {")", {"）", "〕", "】", "﹚"}},
      {"_", {"——", "＿", "－"}},
      {"+", {"＋", "±"}},
      {"=", {"＝", "≠", "≒"}},
      {"[", {"「", "『", "〔", "【", "〖"}},
      {"]", {"」", "』", "〕", "】", "〗"}},
      {"{", {"『", "｛", "〈"}},
      {"}", {"』", "｝", "〉"}},
      {"\\", {"、", "＼"}},
      {"|", {"｜", "︱"}},
      {"~", {"～", "〜"}},
      {"`", {"‵", "｀"}},
      {",", {"，", "、"}},
      {".", {"。", "．", "‧", "…"}},
      {"/", {"／", "÷"}},
      {";", {"；"}},
      {"-", {"－", "——"}},
  };
  return kMarks;
}

const std::vector<std::pair<std::string_view, Candidates>>& halfWidthMarks() {
  static const std::vector<std::pair<std::string_view, Candidates>> kMarks = {
      {"<", {",", "<"}}, {">", {".", ">"}}, {"?", {"?"}}, {":", {":"}},   {"\"", {";", "\""}},
      {"'", {"'"}},      {"!", {"!"}},      {"@", {"@"}}, {"#", {"#"}},   {"$", {"$"}},
      {"%", {"%"}},      {"^", {"^"}},      {"&", {"&"}}, {"*", {"*"}},   {"(", {"("}},
      {")", {")"}},      {"_", {"_"}},      {"+", {"+"}}, {"=", {"="}},   {"[", {"["}},
      {"]", {"]"}},      {"{", {"{"}},      {"}", {"}"}}, {"\\", {"\\"}}, {"|", {"|"}},
      {"~", {"~"}},      {",", {","}},      {".", {"."}}, {"/", {"/"}},   {";", {";"}},
      {"-", {"-"}},
  };
  return kMarks;
}

// Marks with Control, so that the standard layout reaches them without
// leaving its Bopomofo keys.
const std::vector<std::pair<std::string_view, Candidates>>& controlMarks() {
  static const std::vector<std::pair<std::string_view, Candidates>> kMarks = {
      {",", {"，", "、"}}, {".", {"。", "．"}}, {"/", {"？", "／"}}, {";", {"；"}},
      {"'", {"、"}},       {"-", {"——", "－"}}, {"=", {"＝"}},       {"[", {"「", "『"}},
      {"]", {"」", "』"}}, {"\\", {"、"}},      {"<", {"，"}},       {">", {"。"}},
      {"?", {"？"}},       {":", {"："}},       {"\"", {"；"}},      {"!", {"！"}},
      {"{", {"『"}},       {"}", {"』"}},       {"(", {"（"}},       {")", {"）"}},
      {"~", {"～"}},       {"1", {"！"}},       {"2", {"＠"}},       {"3", {"＃"}},
  };
  return kMarks;
}

// The symbols offered by the punctuation list, and the groups reached by
// typing a key while it is shown.
const Candidates& punctuationList() {
  static const Candidates kList = {
      "，", "、", "。", "．", "？", "！", "；", "：", "‧",  "…",  "‥",  "﹐", "﹒", "˙",  "·",
      "「", "」", "『", "』", "（", "）", "〔", "〕", "【", "】", "《", "》", "〈", "〉", "｛",
      "｝", "﹁", "﹂", "﹃", "﹄", "‘",  "’",  "“",  "”",  "〝", "〞", "‵",  "′",  "〃", "——",
      "～", "＿", "￣", "＃", "＆", "＊", "※",  "§",  "＠", "＄", "％", "＋", "－", "×",  "÷",
      "±",  "√",  "＜", "＞", "＝", "≦",  "≧",  "≠",  "≒",  "≡",  "∞",  "∵",  "∴",  "∩",  "∪",
      "∠",  "⊥",  "∫",  "∮",  "○",  "●",  "◎",  "△",  "▲",  "▽",  "▼",  "☆",  "★",  "◇",  "◆",
      "□",  "■",  "♀",  "♂",  "⊕",  "⊙",  "↑",  "↓",  "←",  "→",  "↖",  "↗",  "↙",  "↘",  "／",
      "＼", "｜", "∥",  "￥", "€",  "￡", "￠", "〒", "℃",  "℉",  "°",  "㊣", "№",  "℡",
  };
  return kList;
}

const std::vector<std::pair<std::string_view, Candidates>>& punctuationListGroups() {
  static const std::vector<std::pair<std::string_view, Candidates>> kGroups = {
      {",", {"，", "、", "﹐", "﹑", "､"}},
      {".", {"。", "．", "‧", "…", "‥", "﹒", "·"}},
      {";", {"；", "：", "﹔", "﹕"}},
      {"/", {"？", "！", "／", "＼", "÷"}},
      {"[", {"「", "」", "『", "』", "﹁", "﹂", "﹃", "﹄"}},
      {"]", {"【", "】", "〔", "〕", "〖", "〗", "《", "》", "〈", "〉"}},
      {"'", {"‘", "’", "“", "”", "〝", "〞", "‵", "′", "〃"}},
      {"-", {"——", "－", "～", "＿", "￣", "﹏", "﹋"}},
      {"=", {"＋", "－", "×", "÷", "＝", "≠", "≒", "±", "√", "＜", "＞", "≦", "≧", "∞"}},
      {"\\", {"↑", "↓", "←", "→", "↖", "↗", "↙", "↘", "⇒", "⇔"}},
      {"`", {"○", "●", "◎", "△", "▲", "▽", "▼", "☆", "★", "◇", "◆", "□", "■"}},
      {"$", {"＄", "￥", "€", "￡", "￠", "〒", "％", "‰", "℃", "℉", "°"}},
  };
  return kGroups;
}

}  // namespace

std::vector<PhraseFileLine> buildSpecialReadingLines() {
  std::vector<PhraseFileLine> lines;
  for (const auto& [key, values] : fullWidthMarks()) {
    add(lines, "_punctuation_" + std::string(key), values);
  }
  for (const auto& [key, values] : halfWidthMarks()) {
    add(lines, "_half_punctuation_" + std::string(key), values);
  }
  // The keys that are Bopomofo keys on the standard layout type marks of
  // their own on the letter-only layouts.
  for (std::string_view layout : kLetterOnlyLayouts) {
    std::string full = "_punctuation_" + std::string(layout) + "_";
    std::string half = "_half_punctuation_" + std::string(layout) + "_";
    add(lines, full + ",", {"，", "、"});
    add(lines, full + ".", {"。", "．"});
    add(lines, full + "/", {"？", "／"});
    add(lines, full + ";", {"；", "："});
    add(lines, full + "-", {"－", "——"});
    add(lines, half + ",", {","});
    add(lines, half + ".", {"."});
    add(lines, half + "/", {"?", "/"});
    add(lines, half + ";", {";", ":"});
    add(lines, half + "-", {"-"});
  }
  for (const auto& [key, values] : controlMarks()) {
    add(lines, "_ctrl_punctuation_" + std::string(key), values);
  }

  static constexpr std::string_view kFullWidthDigits[] = {"０", "１", "２", "３", "４",
                                                          "５", "６", "７", "８", "９"};
  for (int digit = 0; digit < 10; ++digit) {
    std::string ascii(1, static_cast<char>('0' + digit));
    add(lines, "_numpad_" + ascii, {ascii, kFullWidthDigits[digit]});
  }
  add(lines, "_numpad_+", {"+", "＋"});
  add(lines, "_numpad_-", {"-", "－"});
  add(lines, "_numpad_*", {"*", "×", "＊"});
  add(lines, "_numpad_/", {"/", "÷", "／"});
  add(lines, "_numpad_.", {".", "．"});

  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string capital(1, letter);
    std::string lower(1, static_cast<char>(letter - 'A' + 'a'));
    // Full-width forms: U+FF21 (Ａ) and U+FF41 (ａ) onwards.
    auto fullWidth = [](char32_t code) {
      std::string text;
      Utf8::appendCodePoint(text, code);
      return text;
    };
    std::string fullLower = fullWidth(0xFF41 + (letter - 'A'));
    std::string fullCapital = fullWidth(0xFF21 + (letter - 'A'));
    add(lines, "_letter_" + capital, {lower, capital, fullLower, fullCapital});
  }

  add(lines, "_punctuation_list", punctuationList());
  for (const auto& [key, values] : punctuationListGroups()) {
    add(lines, "_punctuation_list_" + std::string(key), values);
  }
  return lines;
}

std::vector<PhraseFileLine> buildMacroLines() {
  static const std::vector<std::pair<std::string_view, Candidates>> kMacros = {
      {"ㄐㄧㄣ-ㄊㄧㄢ",
       {"MACRO@DATE_TODAY_SHORT", "MACRO@DATE_TODAY_MEDIUM", "MACRO@DATE_TODAY_MEDIUM_ROC",
        "MACRO@DATE_TODAY_MEDIUM_CHINESE", "MACRO@DATE_TODAY_MEDIUM_JAPANESE",
        "MACRO@DATE_TODAY_WEEKDAY"}},
      {"ㄗㄨㄛˊ-ㄊㄧㄢ",
       {"MACRO@DATE_YESTERDAY_SHORT", "MACRO@DATE_YESTERDAY_MEDIUM",
        "MACRO@DATE_YESTERDAY_MEDIUM_ROC", "MACRO@DATE_YESTERDAY_MEDIUM_CHINESE",
        "MACRO@DATE_YESTERDAY_MEDIUM_JAPANESE", "MACRO@DATE_YESTERDAY_WEEKDAY",
        "MACRO@DATE_YESTERDAY_WEEKDAY_SHORT", "MACRO@DATE_YESTERDAY2_WEEKDAY",
        "MACRO@DATE_YESTERDAY_WEEKDAY_JAPANESE"}},
      {"ㄇㄧㄥˊ-ㄊㄧㄢ",
       {"MACRO@DATE_TOMORROW_SHORT", "MACRO@DATE_TOMORROW_MEDIUM", "MACRO@DATE_TOMORROW_MEDIUM_ROC",
        "MACRO@DATE_TOMORROW_MEDIUM_CHINESE", "MACRO@DATE_TOMORROW_MEDIUM_JAPANESE",
        "MACRO@DATE_TOMORROW_WEEKDAY", "MACRO@DATE_TOMORROW_WEEKDAY_SHORT",
        "MACRO@DATE_TOMORROW2_WEEKDAY", "MACRO@DATE_TOMORROW_WEEKDAY_JAPANESE"}},
      {"ㄐㄧㄣ-ㄋㄧㄢˊ",
       {"MACRO@THIS_YEAR_PLAIN", "MACRO@THIS_YEAR_PLAIN_WITH_ERA", "MACRO@THIS_YEAR_ROC",
        "MACRO@THIS_YEAR_JAPANESE", "MACRO@THIS_YEAR_GANZHI", "MACRO@THIS_YEAR_CHINESE_ZODIAC"}},
      {"ㄑㄩˋ-ㄋㄧㄢˊ",
       {"MACRO@LAST_YEAR_PLAIN", "MACRO@LAST_YEAR_PLAIN_WITH_ERA", "MACRO@LAST_YEAR_ROC",
        "MACRO@LAST_YEAR_JAPANESE", "MACRO@LAST_YEAR_GANZHI", "MACRO@LAST_YEAR_CHINESE_ZODIAC"}},
      {"ㄇㄧㄥˊ-ㄋㄧㄢˊ",
       {"MACRO@NEXT_YEAR_PLAIN", "MACRO@NEXT_YEAR_PLAIN_WITH_ERA", "MACRO@NEXT_YEAR_ROC",
        "MACRO@NEXT_YEAR_JAPANESE", "MACRO@NEXT_YEAR_GANZHI", "MACRO@NEXT_YEAR_CHINESE_ZODIAC"}},
      {"ㄒㄧㄥ-ㄑㄧˊ",
       {"MACRO@DATE_TODAY_WEEKDAY", "MACRO@DATE_TODAY_WEEKDAY_SHORT",
        "MACRO@DATE_TODAY_WEEKDAY_JAPANESE"}},
      {"ㄌㄧˇ-ㄅㄞˋ", {"MACRO@DATE_TODAY2_WEEKDAY"}},
      {"ㄒㄧㄢˋ-ㄗㄞˋ", {"MACRO@TIME_NOW_SHORT", "MACRO@TIME_NOW_MEDIUM"}},
      {"ㄕˊ-ㄐㄧㄢ", {"MACRO@TIME_NOW_SHORT", "MACRO@TIME_NOW_MEDIUM"}},
      {"ㄕˊ-ㄑㄩ", {"MACRO@TIMEZONE_STANDARD", "MACRO@TIMEZONE_GENERIC_SHORT"}},
      {"ㄍㄢ-ㄓ", {"MACRO@THIS_YEAR_GANZHI", "MACRO@LAST_YEAR_GANZHI", "MACRO@NEXT_YEAR_GANZHI"}},
      {"ㄕㄥ-ㄒㄧㄠˋ",
       {"MACRO@THIS_YEAR_CHINESE_ZODIAC", "MACRO@LAST_YEAR_CHINESE_ZODIAC",
        "MACRO@NEXT_YEAR_CHINESE_ZODIAC"}},
  };
  std::vector<PhraseFileLine> lines;
  for (const auto& [reading, names] : kMacros) {
    for (std::string_view name : names) {
      lines.push_back({std::string(reading), std::string(name), kMacroScore});
    }
  }
  return lines;
}

}  // namespace Kestova::DataBuilder
