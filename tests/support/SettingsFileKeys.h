// The check-box options' keys in the settings file, in the order of the
// settings window's rows. The first eight are the original ones, which the
// file holds before "ctrl_enter"; later options follow it.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace Kestova::Testing {

inline constexpr std::size_t kOriginalOptionCount = 8;
inline constexpr std::array<std::string_view, 12> kOptionKeys = {"choose_candidate_using_space",
                                                                 "select_phrase_after_cursor",
                                                                 "move_cursor_after_selection",
                                                                 "esc_clears_buffer",
                                                                 "keep_invalid_syllable",
                                                                 "put_lowercase_to_buffer",
                                                                 "half_width_punctuation",
                                                                 "repeated_punctuation_selects",
                                                                 "context_model",
                                                                 "shift_toggles_english",
                                                                 "learn_words",
                                                                 "remember_learnt_words"};

}  // namespace Kestova::Testing
