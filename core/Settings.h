// The module's settings on disk: gcin's Bopomofo keyboard file (layout name
// and candidate selection keys, read only) and the module's own JSON
// settings file, which holds the Options value. The table of options below
// is the one place that names each option: its key in the file, its label
// in the settings window, and its field. It owns no state: the module reads
// the files at start-up and when they change (ModuleExports, KstCore); the
// settings window and the exported configuration functions read and write
// the settings file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/Options.h"
#include "phonetics/BpmfKeyboardLayout.h"

namespace Kestova {

// A boolean option: its key in the settings file, its check box label in
// the settings window and the Options field it stands for. In file order.
struct BoolOption {
  std::string_view key;
  std::string_view label;
  bool Options::*field;
};

inline constexpr std::array<BoolOption, 12> kBoolOptions = {{
    {"choose_candidate_using_space", "空白鍵叫出候選字", &Options::choose_candidate_using_space},
    {"select_phrase_after_cursor", "候選字取游標後的詞", &Options::select_phrase_after_cursor},
    {"move_cursor_after_selection", "選字後游標移到詞後", &Options::move_cursor_after_selection},
    {"esc_clears_buffer", "ESC 鍵清空編輯區", &Options::esc_clears_buffer},
    {"keep_invalid_syllable", "保留打錯的注音以便修改", &Options::keep_invalid_syllable},
    {"put_lowercase_to_buffer", "Shift + 字母以小寫放進編輯區", &Options::put_lowercase_to_buffer},
    {"half_width_punctuation", "半形標點", &Options::half_width_punctuation},
    {"repeated_punctuation_selects", "重複按標點鍵選下一個候選字",
     &Options::repeated_punctuation_selects},
    {"context_model", "依前後文選詞", &Options::context_model},
    {"shift_toggles_english", "單按 Shift 切換中英文", &Options::shift_toggles_english},
    {"learn_words", "學習選過的詞", &Options::learn_words},
    {"remember_learnt_words", "重新啟動後仍記得學過的詞", &Options::remember_learnt_words},
}};

// The file holds the first eight of them, then ctrl_enter, then the rest:
// the nine settings every version of the module reads stay first, in their
// order. Those eight are also the ones gcin's exported settings record
// carries.
inline constexpr std::size_t kOriginalBoolOptions = 8;

// The Control+Enter choices: the settings file's string and the settings
// window's label, by CtrlEnterMode number.
struct CtrlEnterChoice {
  std::string_view key;
  std::string_view label;
};
inline constexpr std::string_view kCtrlEnterKey = "ctrl_enter";
inline constexpr std::string_view kCtrlEnterLabel = "Ctrl + Enter 送出";
inline constexpr std::array<CtrlEnterChoice, kCtrlEnterModeCount> kCtrlEnterChoices = {{
    {"disabled", "不使用"},
    {"bpmf_reading", "注音"},
    {"html_ruby", "HTML Ruby"},
    {"hanyu_pinyin", "漢語拼音"},
    {"braille_unicode", "點字 (Unicode)"},
    {"braille_ascii", "點字 (ASCII)"},
}};

// The mode of a ctrl_enter number; a number out of range is Disabled.
CtrlEnterMode ctrlEnterMode(int index);

// The defaults, then every valid value the settings file holds. A file
// that is missing, unreadable or not one JSON object gives the defaults; a
// key that is absent, of the wrong type or an unknown name is ignored.
Options readOptions(const std::string& path);
// Writes every option to the settings file, creating its folder (mode
// 0700). False when nothing could be written; the old file then stays.
bool writeOptions(const std::string& path, const Options& options);

// What gcin's keyboard file says: the first two words of its first line.
struct KeyboardSettings {
  std::string keyboardName = "zo";
  std::string selectionKeys = "123456789";
};
KeyboardSettings readKeyboardFile(const std::string& path);
// The layout of one of gcin's keyboard names ("et", "hsu", "ibm", "et26",
// "pinyin", "pinyin-no-tone"); anything else, "zo" included, is Standard.
const BpmfKeyboardLayout* keyboardLayoutNamed(std::string_view name);

std::string keyboardFilePath();
std::string settingsFilePath();

// Where the module reads its data: the installed root, or the root that
// KESTOVA_DATA_ROOT names (tests and tools set it; a gcin user never does).
std::string moduleDataRoot();
// HOME/.gcin/kestova, the user data directory, with an unset HOME taken as "".
std::string moduleUserDirectory();

// Whole-second modification time of a file, 0 when it cannot be examined.
int64_t fileModificationTime(const std::string& path);

}  // namespace Kestova
