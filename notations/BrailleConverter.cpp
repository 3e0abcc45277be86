#include "notations/BrailleConverter.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
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

// The parts of a syllable read so far. Each add function takes one
// character of its kind, or returns the message that refuses it.
struct SyllableParts {
  const Row* initial = nullptr;
  const Row* medial = nullptr;
  const Row* final = nullptr;
  // The cell of medial + final, once both are there.
  const Row* combination = nullptr;
  const Row* tone = nullptr;

  std::string_view addInitial(const Row& row) {
    if (initial) return "Invalid Bopomofo: multiple consonants";
    if (medial || final) return "Invalid Bopomofo: consonant after vowel";
    initial = &row;
    return {};
  }

  std::string_view addMedial(const Row& row) {
    if (medial) return "Invalid Bopomofo: multiple middle vowels";
    if (final) return "Invalid Bopomofo: middle vowel after vowel";
    medial = &row;
    return {};
  }

  std::string_view addFinal(const Row& row) {
    if (final) return "Invalid Bopomofo: multiple vowels";
    if (medial) {
      combination = findRow(kCombinations, std::string(medial->text) + std::string(row.text));
      if (!combination) return "Invalid Bopomofo: invalid combination";
    }
    final = &row;
    return {};
  }

  std::string_view addTone(const Row& row) {
    if (tone) return "Invalid Bopomofo: multiple tones";
    if (!initial && !medial && !final) {
      return "Invalid Bopomofo: tone without consonant, middle vowel, or vowel";
    }
    tone = &row;
    return {};
  }

  std::string_view add(std::string_view character) {
    if (const Row* row = findRow(kInitials, character)) return addInitial(*row);
    if (const Row* row = findRow(kMedials, character)) return addMedial(*row);
    if (const Row* row = findRow(kFinals, character)) return addFinal(*row);
    if (const Row* row = findRow(kToneMarks, character)) return addTone(*row);
    return "Invalid Bopomofo: invalid character";
  }

  bool hasEmptyRime() const {
    return initial && std::find(std::begin(kEmptyRimeInitials), std::end(kEmptyRimeInitials),
                                initial->text) != std::end(kEmptyRimeInitials);
  }

  // The cell of the rime: the combined cell, the medial's or the final's,
  // ㄦ's for the empty rime after ㄓ-ㄙ, or none.
  std::string_view rimeCell() const {
    if (combination) return combination->unicode;
    if (medial) return medial->unicode;
    if (final) return final->unicode;
    return hasEmptyRime() ? kEmptyRimeCell : std::string_view();
  }

  // Initial, rime and tone as Unicode Braille.
  std::string cells() const {
    std::string result;
    if (initial) result += initial->unicode;
    result += rimeCell();
    result += tone ? tone->unicode : kFirstToneCell;
    return result;
  }
};

// Converts one syllable into `out`; on failure returns the message and
// leaves `out` untouched.
std::string_view syllableToBraille(std::string_view text, BrailleEncoding encoding,
                                   std::string& out) {
  constexpr std::string_view kBlanks = " \t\n\r";
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return "Invalid Bopomofo length";
  text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);

  SyllableParts parts;
  for (std::string_view character : Utf8::splitCharacters(text)) {
    if (std::string_view error = parts.add(character); !error.empty()) return error;
  }
  appendCells(out, parts.cells(), encoding);
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

// Converts a whole text token by token: one function per kind of token.
class TextConverter {
 public:
  TextConverter(std::string_view text, BrailleEncoding encoding)
      : text_(text), encoding_(encoding) {
    // Character boundaries as byte offsets, so that a run of characters is
    // a slice of the text.
    for (size_t pos = 0; pos < text.size(); pos += Utf8::characterLength(text, pos)) {
      offsets_.push_back(pos);
    }
    offsets_.push_back(text.size());
    count_ = offsets_.size() - 1;
  }

  std::string convert() {
    while (pos_ < count_) {
      const std::string_view character = run(pos_, 1);
      if (character == " ") {
        convertSpace();
      } else if (!continueToken(character) && !convertSyllable()) {
        convertCharacter(character);
      }
    }
    return std::move(out_);
  }

 private:
  // What the previous token was; decides the spaces between tokens.
  enum class Kind { None, Bopomofo, Number, Letters };

  std::string_view run(size_t from, size_t n) const {
    return text_.substr(offsets_[from], offsets_[from + n] - offsets_[from]);
  }

  // Writes a row for the next `n` characters.
  void takeRow(const Row& row, size_t n) {
    appendRow(out_, row, encoding_);
    pos_ += n;
  }

  // A space ends the token; several spaces give one.
  void convertSpace() {
    if (!out_.empty() && out_.back() != ' ') out_ += ' ';
    ++pos_;
    kind_ = Kind::None;
  }

  // Carries a run of letters or a number on with `character`, or ends it
  // with a space and returns false.
  bool continueToken(std::string_view character) {
    bool continued = false;
    if (kind_ == Kind::Letters) {
      continued = continueLetters(character);
    } else if (kind_ == Kind::Number) {
      continued = continueNumber(character);
    } else {
      return false;
    }
    if (!continued) {
      out_ += ' ';
      kind_ = Kind::None;
    }
    return continued;
  }

  // Letters go on with letters and ASCII punctuation.
  bool continueLetters(std::string_view character) {
    if (isAsciiLetter(character)) {
      appendLetter(out_, character[0], encoding_);
      ++pos_;
      return true;
    }
    if (const Row* row = findRow(kAsciiPunctuation, character)) {
      takeRow(*row, 1);
      return true;
    }
    return false;
  }

  // A number goes on with digits and the symbols that continue a number
  // (two-character ones first).
  bool continueNumber(std::string_view character) {
    if (isDigit(character)) {
      appendDigit(out_, character[0], encoding_);
      ++pos_;
      return true;
    }
    if (pos_ + 1 < count_) {
      if (const Row* row = findRow(kNumberSymbols, run(pos_, 2))) {
        takeRow(*row, 2);
        return true;
      }
    }
    if (const Row* row = findRow(kNumberSymbols, character)) {
      takeRow(*row, 1);
      return true;
    }
    return false;
  }

  // The longest run of up to four characters that is one syllable wins.
  bool convertSyllable() {
    for (size_t n = std::min<size_t>(4, count_ - pos_); n >= 1; --n) {
      if (syllableToBraille(run(pos_, n), encoding_, out_).empty()) {
        pos_ += n;
        kind_ = Kind::Bopomofo;
        return true;
      }
    }
    return false;
  }

  // A space between this token and a previous one of another kind.
  void separateFromPrevious() {
    if (kind_ != Kind::None) out_ += ' ';
  }

  void startNumber(char digit) {
    separateFromPrevious();
    appendCells(out_, kNumberSign, encoding_);
    appendDigit(out_, digit, encoding_);
    kind_ = Kind::Number;
  }

  void startLetters(char letter) {
    separateFromPrevious();
    appendLetter(out_, letter, encoding_);
    kind_ = Kind::Letters;
  }

  // ASCII punctuation outside a run of letters starts one, after a space.
  void startAsciiPunctuation(const Row& row) {
    if (kind_ == Kind::None) out_ += ' ';
    appendRow(out_, row, encoding_);
    kind_ = Kind::Letters;
  }

  void convertChinesePunctuation(const Row& row) {
    appendRow(out_, row, encoding_);
    kind_ = Kind::Bopomofo;
  }

  void copyUnchanged(std::string_view character) {
    separateFromPrevious();
    out_ += character;
    kind_ = Kind::None;
  }

  // One character that neither continues a token nor begins a syllable.
  void convertCharacter(std::string_view character) {
    if (const Row* row = findRow(kChinesePunctuation, character)) {
      convertChinesePunctuation(*row);
    } else if (isDigit(character)) {
      startNumber(character[0]);
    } else if (isAsciiLetter(character)) {
      startLetters(character[0]);
    } else if (const Row* row = findRow(kAsciiPunctuation, character)) {
      startAsciiPunctuation(*row);
    } else {
      copyUnchanged(character);
    }
    ++pos_;
  }

  std::string_view text_;
  BrailleEncoding encoding_;
  std::vector<size_t> offsets_;
  size_t count_ = 0;
  size_t pos_ = 0;
  Kind kind_ = Kind::None;
  std::string out_;
};

}  // namespace

std::string convertSyllableToBraille(std::string_view text, BrailleEncoding encoding) {
  std::string out;
  std::string_view error = syllableToBraille(text, encoding, out);
  if (!error.empty()) throw std::runtime_error(std::string(error));
  return out;
}

std::string convertTextToBraille(std::string_view text, BrailleEncoding encoding) {
  return TextConverter(text, encoding).convert();
}

}  // namespace Kestova
