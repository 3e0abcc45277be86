// The user's settings as one value. The module reads it from the settings
// file (kestova.json), the settings window edits it, and the key handler and
// the module act on it; each member is named after its key in the file and
// starts at the file's default.
#pragma once

namespace Kestova {

// What Control+Enter commits; the numbers are the settings file's indexes.
enum class CtrlEnterMode : int {
  Disabled = 0,
  BpmfReading = 1,
  HtmlRuby = 2,
  HanyuPinyin = 3,
  BrailleUnicode = 4,
  BrailleAscii = 5,
};
inline constexpr int kCtrlEnterModeCount = 6;

struct Options {
  // Space opens the candidate window instead of inserting a space.
  bool choose_candidate_using_space = true;
  // Candidates are those of the phrase starting at the cursor, not ending there.
  bool select_phrase_after_cursor = false;
  // After a pick the cursor moves behind the picked phrase.
  bool move_cursor_after_selection = false;
  // Escape discards the whole composition.
  bool esc_clears_buffer = false;
  // A syllable the language model lacks stays in the reading buffer.
  bool keep_invalid_syllable = false;
  // Shift with a letter puts the letter's phrases into the composition.
  bool put_lowercase_to_buffer = false;
  // Punctuation keys try the half-width readings first.
  bool half_width_punctuation = false;
  // The same punctuation key again picks its next candidate.
  bool repeated_punctuation_selects = false;
  CtrlEnterMode ctrl_enter = CtrlEnterMode::Disabled;
  // The walk weighs neighbouring words with the context file beside the
  // phrase database, when there is one. The module acts on it.
  bool context_model = true;
  // A Shift tap (pressed and released alone) switches between Chinese and
  // English, where every key goes to the application untouched. The module
  // acts on it.
  bool shift_toggles_english = false;
  // The phrases picked in a composition that is committed are learnt: they
  // rank first for their reading from then on, in any context, until other
  // picks wear them away.
  bool learn_words = true;
  // The learnt words are kept on disk (learnt.txt) and come back after a
  // restart. The module acts on it.
  bool remember_learnt_words = false;

  bool operator==(const Options&) const = default;
};

}  // namespace Kestova
