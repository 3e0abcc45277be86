#include "notations/BrailleConverter.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "text/Utf8.h"

namespace Kestova {

namespace {

// One table row: a source text and its Braille in both encodings. An empty
// ASCII form means "the Braille ASCII characters of the cells".
struct Row {
  std::string_view text;
  std::string_view unicode;
  std::string_view ascii = {};
};

// ㄐ ㄑ ㄒ share their cells with ㄍ ㄘ ㄙ.
constexpr Row kInitials[] = {
    {"ㄅ", "⠕"}, {"ㄆ", "⠏"}, {"ㄇ", "⠍"}, {"ㄈ", "⠟"}, {"ㄉ", "⠙"}, {"ㄊ", "⠋"}, {"ㄋ", "⠝"},
    {"ㄌ", "⠉"}, {"ㄍ", "⠅"}, {"ㄎ", "⠇"}, {"ㄏ", "⠗"}, {"ㄐ", "⠅"}, {"ㄑ", "⠚"}, {"ㄒ", "⠑"},
    {"ㄓ", "⠁"}, {"ㄔ", "⠃"}, {"ㄕ", "⠊"}, {"ㄖ", "⠛"}, {"ㄗ", "⠓"}, {"ㄘ", "⠚"}, {"ㄙ", "⠑"},
};
// The initials after which a syllable without medial and final is written
// with the cell of ㄦ.
constexpr std::string_view kEmptyRimeInitials[] = {"ㄓ", "ㄔ", "ㄕ", "ㄖ", "ㄗ", "ㄘ", "ㄙ"};
constexpr std::string_view kEmptyRimeCell = "⠱";

constexpr Row kMedials[] = {{"ㄧ", "⠡"}, {"ㄨ", "⠌"}, {"ㄩ", "⠳"}};

constexpr Row kFinals[] = {
    {"ㄚ", "⠜"}, {"ㄛ", "⠣"}, {"ㄜ", "⠮"}, {"ㄝ", "⠢"}, {"ㄞ", "⠺"}, {"ㄟ", "⠴"}, {"ㄠ", "⠩"},
    {"ㄡ", "⠷"}, {"ㄢ", "⠧"}, {"ㄣ", "⠥"}, {"ㄤ", "⠭"}, {"ㄥ", "⠵"}, {"ㄦ", "⠱"},
};

// A medial and a final written as one cell; no other pair is valid.
constexpr Row kCombinations[] = {
    {"ㄧㄚ", "⠾"}, {"ㄧㄛ", "⠴"}, {"ㄧㄝ", "⠬"}, {"ㄧㄞ", "⠢"}, {"ㄧㄠ", "⠪"}, {"ㄧㄡ", "⠎"},
    {"ㄧㄢ", "⠞"}, {"ㄧㄣ", "⠹"}, {"ㄧㄤ", "⠨"}, {"ㄧㄥ", "⠽"}, {"ㄨㄚ", "⠔"}, {"ㄨㄛ", "⠒"},
    {"ㄨㄞ", "⠶"}, {"ㄨㄟ", "⠫"}, {"ㄨㄢ", "⠻"}, {"ㄨㄣ", "⠿"}, {"ㄨㄤ", "⠸"}, {"ㄨㄥ", "⠯"},
    {"ㄩㄝ", "⠦"}, {"ㄩㄢ", "⠘"}, {"ㄩㄣ", "⠲"}, {"ㄩㄥ", "⠖"},
};

constexpr Row kToneMarks[] = {{"ˊ", "⠂"}, {"ˇ", "⠈"}, {"ˋ", "⠐"}, {"˙", "⠁"}};
constexpr std::string_view kFirstToneCell = "⠄";

// Digits 0-9 in the lower cells; in ASCII each digit is written as itself.
constexpr std::string_view kDigitCells[] = {"⠴", "⠂", "⠆", "⠒", "⠲", "⠢", "⠖", "⠶", "⠦", "⠔"};
constexpr std::string_view kLetterCells[] = {"⠁", "⠃", "⠉", "⠙", "⠑", "⠋", "⠛", "⠓", "⠊",
                                             "⠚", "⠅", "⠇", "⠍", "⠝", "⠕", "⠏", "⠟", "⠗",
                                             "⠎", "⠞", "⠥", "⠧", "⠺", "⠭", "⠽", "⠵"};
constexpr std::string_view kCapitalSign = "⠠";
constexpr std::string_view kNumberSign = "⠼";

// Symbols that continue a number.
constexpr Row kNumberSymbols[] = {
    {".", "⠨", "."},
    {"%", "⠈⠴", "`%"},
    {"°C", "⠘⠨⠡ ⠰⠠⠉", "~.* ;,c"},
};

constexpr Row kAsciiPunctuation[] = {
    {".", "⠲", "."},  {",", "⠂", ","},  {";", "⠒", ";"}, {"'", "⠄", "'"}, {"?", "⠦", "?"},
    {"!", "⠖", "!"},  {":", "⠒", ":"},  {"-", "⠤", "-"}, {"*", "⠔", "*"}, {"‘", "⠠⠦", "8"},
    {"’", "⠴⠄", "0"}, {"“", "⠦", "8"},  {"”", "⠴", "0"}, {"(", "⠶", "("}, {")", "⠶", ")"},
    {"[", "⠠⠶", "["}, {"]", "⠶⠄", "]"},
};

constexpr Row kChinesePunctuation[] = {
    {"。", "⠤", "-"},     {"·", "⠤", "."},      {"，", "⠆", "2"},   {"；", "⠰", ";"},
    {"、", "⠠", ","},     {"？", "⠕", "?"},     {"！", "⠇", "l"},   {"：", "⠒⠒", "33"},
    {"╴", "⠰⠰", "|"},     {"—", "⠐⠂", "---"},   {"﹏", "⠠⠤", "~"},  {"…", "⠐⠐⠐", "'''"},
    {"※", "⠈⠼", "`#"},    {"◎", "⠪⠕", "{o"},    {"「", "⠰⠤", ";-"}, {"」", "⠤⠆", "-2"},
    {"『", "⠰⠤⠰⠤", "88"}, {"』", "⠤⠆⠤⠆", "00"}, {"（", "⠪", "{"},   {"）", "⠕", "o"},
    {"〔", "⠯", "``("},   {"〕", "⠽", "``)"},   {"｛", "⠦", ".("},  {"｝", "⠴", ".)"},
};

// North American Braille ASCII of the 64 six-dot cells, indexed by the dot
// bits of the Unicode pattern (dot 1 = bit 0 ... dot 6 = bit 5), in the
// lower-case form used for output.
constexpr std::string_view kBrailleAscii =
    " a1b'k2l`cif/msp\"e3h9o6r~djg>ntq,*5<-u8v.%{$+x!&;:4|0z7(_?w}#y)=";

template <size_t N>
const Row* findRow(const Row (&table)[N], std::string_view text) {
  auto it = std::find_if(std::begin(table), std::end(table),
                         [text](const Row& row) { return row.text == text; });
  return it == std::end(table) ? nullptr : it;
}

// Writes cells given as Unicode Braille in the chosen encoding.
void appendCells(std::string& out, std::string_view cells, BrailleEncoding encoding) {
  if (encoding == BrailleEncoding::Unicode) {
    out += cells;
    return;
  }
  for (size_t pos = 0; pos < cells.size();) {
    size_t length = Utf8::characterLength(cells, pos);
    // U+2800-U+283F is E2 A0 80-BF in UTF-8.
    if (length == 3 && cells[pos] == '\xE2' && cells[pos + 1] == '\xA0') {
      out += kBrailleAscii[static_cast<unsigned char>(cells[pos + 2]) & 0x3F];
    } else {
      out += cells.substr(pos, length);
    }
    pos += length;
  }
}

void appendRow(std::string& out, const Row& row, BrailleEncoding encoding) {
  if (encoding == BrailleEncoding::Ascii && !row.ascii.empty()) {
    out += row.ascii;
  } else {
    appendCells(out, row.unicode, encoding);
  }
}

// Converts one syllable into `out`; on failure returns the message and
// leaves `out` untouched.
std::string_view syllableToBraille(std::string_view text, BrailleEncoding encoding,
                                   std::string& out) {
  constexpr std::string_view kBlanks = " \t\n\r";
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return "Invalid Bopomofo length";
  text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);

  const Row* initial = nullptr;
  const Row* medial = nullptr;
  const Row* final = nullptr;
  const Row* combination = nullptr;
  const Row* tone = nullptr;
  for (std::string_view character : Utf8::splitCharacters(text)) {
    if (const Row* row = findRow(kInitials, character)) {
      if (initial) return "Invalid Bopomofo: multiple consonants";
      if (medial || final) return "Invalid Bopomofo: consonant after vowel";
      initial = row;
    } else if (const Row* row = findRow(kMedials, character)) {
      if (medial) return "Invalid Bopomofo: multiple middle vowels";
      if (final) return "Invalid Bopomofo: middle vowel after vowel";
      medial = row;
    } else if (const Row* row = findRow(kFinals, character)) {
      if (final) return "Invalid Bopomofo: multiple vowels";
      if (medial) {
        combination = findRow(kCombinations, std::string(medial->text) + std::string(row->text));
        if (!combination) return "Invalid Bopomofo: invalid combination";
      }
      final = row;
    } else if (const Row* row = findRow(kToneMarks, character)) {
      if (tone) return "Invalid Bopomofo: multiple tones";
      if (!initial && !medial && !final) {
        return "Invalid Bopomofo: tone without consonant, middle vowel, or vowel";
      }
      tone = row;
    } else {
      return "Invalid Bopomofo: invalid character";
    }
  }

  std::string cells;
  if (initial) cells += initial->unicode;
  if (combination) {
    cells += combination->unicode;
  } else if (medial) {
    cells += medial->unicode;
  } else if (final) {
    cells += final->unicode;
  } else if (initial && std::find(std::begin(kEmptyRimeInitials), std::end(kEmptyRimeInitials),
                                  initial->text) != std::end(kEmptyRimeInitials)) {
    cells += kEmptyRimeCell;
  }
  cells += tone ? tone->unicode : kFirstToneCell;
  appendCells(out, cells, encoding);
  return {};
}

bool isAsciiLetter(std::string_view character) {
  return character.size() == 1 && ((character[0] >= 'a' && character[0] <= 'z') ||
                                   (character[0] >= 'A' && character[0] <= 'Z'));
}

bool isDigit(std::string_view character) {
  return character.size() == 1 && character[0] >= '0' && character[0] <= '9';
}

void appendLetter(std::string& out, char letter, BrailleEncoding encoding) {
  if (letter >= 'A' && letter <= 'Z') {
    appendCells(out, kCapitalSign, encoding);
    letter = static_cast<char>(letter - 'A' + 'a');
  }
  appendCells(out, kLetterCells[letter - 'a'], encoding);
}

void appendDigit(std::string& out, char digit, BrailleEncoding encoding) {
  if (encoding == BrailleEncoding::Ascii) {
    out += digit;
  } else {
    out += kDigitCells[digit - '0'];
  }
}

}  // namespace

std::string convertSyllableToBraille(std::string_view text, BrailleEncoding encoding) {
  std::string out;
  std::string_view error = syllableToBraille(text, encoding, out);
  if (!error.empty()) throw std::runtime_error(std::string(error));
  return out;
}

std::string convertTextToBraille(std::string_view text, BrailleEncoding encoding) {
  // What the previous token was; decides the spaces between tokens.
  enum class Kind { None, Bopomofo, Number, Letters };

  // Character boundaries as byte offsets, so that a run of characters is a
  // slice of the text.
  std::vector<size_t> offsets;
  for (size_t pos = 0; pos < text.size(); pos += Utf8::characterLength(text, pos)) {
    offsets.push_back(pos);
  }
  offsets.push_back(text.size());
  const size_t count = offsets.size() - 1;
  auto run = [&](size_t from, size_t n) {
    return text.substr(offsets[from], offsets[from + n] - offsets[from]);
  };

  std::string out;
  Kind kind = Kind::None;
  size_t pos = 0;
  while (pos < count) {
    const std::string_view character = run(pos, 1);

    if (character == " ") {
      if (!out.empty() && out.back() != ' ') out += ' ';
      ++pos;
      kind = Kind::None;
      continue;
    }

    if (kind == Kind::Letters) {
      if (isAsciiLetter(character)) {
        appendLetter(out, character[0], encoding);
        ++pos;
        continue;
      }
      if (const Row* row = findRow(kAsciiPunctuation, character)) {
        appendRow(out, *row, encoding);
        ++pos;
        continue;
      }
      out += ' ';
      kind = Kind::None;
    } else if (kind == Kind::Number) {
      if (isDigit(character)) {
        appendDigit(out, character[0], encoding);
        ++pos;
        continue;
      }
      if (pos + 1 < count) {
        if (const Row* row = findRow(kNumberSymbols, run(pos, 2))) {
          appendRow(out, *row, encoding);
          pos += 2;
          continue;
        }
      }
      if (const Row* row = findRow(kNumberSymbols, character)) {
        appendRow(out, *row, encoding);
        ++pos;
        continue;
      }
      out += ' ';
      kind = Kind::None;
    }

    // Kind is None or Bopomofo from here on. The longest run of up to four
    // characters that is one syllable wins.
    bool converted = false;
    for (size_t n = std::min<size_t>(4, count - pos); n >= 1 && !converted; --n) {
      if (syllableToBraille(run(pos, n), encoding, out).empty()) {
        pos += n;
        kind = Kind::Bopomofo;
        converted = true;
      }
    }
    if (converted) continue;

    if (const Row* row = findRow(kChinesePunctuation, character)) {
      appendRow(out, *row, encoding);
      kind = Kind::Bopomofo;
    } else if (isDigit(character)) {
      if (kind != Kind::None) out += ' ';
      appendCells(out, kNumberSign, encoding);
      appendDigit(out, character[0], encoding);
      kind = Kind::Number;
    } else if (isAsciiLetter(character)) {
      if (kind != Kind::None) out += ' ';
      appendLetter(out, character[0], encoding);
      kind = Kind::Letters;
    } else if (const Row* row = findRow(kAsciiPunctuation, character)) {
      if (kind == Kind::None) out += ' ';
      appendRow(out, *row, encoding);
      kind = Kind::Letters;
    } else {
      if (kind != Kind::None) out += ' ';
      out += character;
      kind = Kind::None;
    }
    ++pos;
  }
  return out;
}

}  // namespace Kestova
