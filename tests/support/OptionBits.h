// Options as a bit set, for test tables and fuzz inputs.
#pragma once

#include "engine/Options.h"

namespace Kestova::Testing {

enum Option : unsigned {
  kNoOptions = 0,
  kSpaceInserts = 1u << 0,       // choose_candidate_using_space off
  kSelectAfter = 1u << 1,        // select_phrase_after_cursor
  kMoveAfter = 1u << 2,          // move_cursor_after_selection
  kEscClears = 1u << 3,          // esc_clears_buffer
  kKeepInvalid = 1u << 4,        // keep_invalid_syllable
  kLowercase = 1u << 5,          // put_lowercase_to_buffer
  kHalfWidth = 1u << 6,          // half_width_punctuation
  kRepeatSelects = 1u << 7,      // repeated_punctuation_selects
  kCtrlEnterReadings = 1u << 8,  // ctrl_enter 1
  kAllOptionBits = (1u << 9) - 1,
};

inline Options optionsFromBits(unsigned bits) {
  Options options;
  options.choose_candidate_using_space = !(bits & kSpaceInserts);
  options.select_phrase_after_cursor = bits & kSelectAfter;
  options.move_cursor_after_selection = bits & kMoveAfter;
  options.esc_clears_buffer = bits & kEscClears;
  options.keep_invalid_syllable = bits & kKeepInvalid;
  options.put_lowercase_to_buffer = bits & kLowercase;
  options.half_width_punctuation = bits & kHalfWidth;
  options.repeated_punctuation_selects = bits & kRepeatSelects;
  options.ctrl_enter =
      (bits & kCtrlEnterReadings) ? CtrlEnterMode::BpmfReading : CtrlEnterMode::Disabled;
  return options;
}

}  // namespace Kestova::Testing
