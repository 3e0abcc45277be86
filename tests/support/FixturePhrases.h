// The small phrase database the engine tests and the key-handler fuzzer
// type with: a few words with competing scores, a cursor that can fall
// inside a phrase, a macro, punctuation by layout and generic, a
// punctuation list with per-key readings, letters and a keypad digit.
#pragma once

#include <vector>

#include "models/SortedPhraseFile.h"

namespace Kestova::Testing {

inline std::vector<PhraseFileLine> fixturePhrases() {
  return {
      // Two syllables whose word beats its characters.
      {"ㄋㄧˇ", "你", -2.0},
      {"ㄋㄧˇ", "妳", -2.5},
      {"ㄋㄧˇ", "擬", -4.0},
      {"ㄏㄠˇ", "好", -2.0},
      {"ㄏㄠˇ", "郝", -4.5},
      {"ㄋㄧˇ-ㄏㄠˇ", "你好", -3.0},
      // A first-tone syllable and its neutral-tone sibling.
      {"ㄇㄚ", "媽", -3.0},
      {"ㄇㄚ", "嗎", -3.1},
      {"ㄇㄚ˙", "嗎", -2.5},
      // Three characters for two readings: the cursor can fall inside.
      {"ㄇㄚ-ㄇㄚ", "媽媽咪", -1.0},
      // A word with a competing spelling.
      {"ㄊㄞˊ", "臺", -2.5},
      {"ㄊㄞˊ", "台", -2.6},
      {"ㄨㄢ", "灣", -3.0},
      {"ㄨㄢ", "彎", -3.2},
      {"ㄊㄞˊ-ㄨㄢ", "臺灣", -3.5},
      {"ㄊㄞˊ-ㄨㄢ", "台灣", -3.6},
      // A syllable with a candidate too unlikely to be learnt.
      {"ㄎㄜˇ", "可", -2.0},
      {"ㄎㄜˇ", "殼", -8.0},
      {"ㄎㄜˇ", "渴", -9.0},
      // The syllable reached by mending an invalid one.
      {"ㄅㄧㄠˇ", "表", -2.5},
      // A word that glues two syllables a sentence usually splits.
      {"ㄉㄜ˙", "的", -1.5},
      {"ㄓ", "之", -3.0},
      {"ㄓ-ㄏㄠˇ", "只好", -4.0},
      {"ㄧ", "一", -2.0},
      {"ㄧ-ㄉㄜ˙", "一的", -6.0},
      // A macro, which expands when it is looked up.
      {"ㄖˋ", "MACRO@DATE_TODAY_SHORT", -8.0},
      {"ㄖˋ", "日", -2.0},
      // Punctuation: per layout first, then generic.
      {"_punctuation_Standard_<", "，", -1.0},
      {"_punctuation_Standard_<", "〈", -1.5},
      {"_punctuation_Standard_<", "《", -2.0},
      {"_punctuation_<", "＜", -1.0},
      {"_punctuation_Hsu_,", "，", -1.0},
      {"_punctuation_,", "、", -1.0},
      {"_punctuation_!", "！", -1.0},
      {"_half_punctuation_!", "!", -1.0},
      {"_half_punctuation_#", "#", -1.0},
      {"_half_punctuation_Hsu_,", ",", -1.0},
      {"_ctrl_punctuation_,", "，", -1.0},
      {"_ctrl_punctuation_.", "。", -1.0},
      // The punctuation list and two of its per-key readings.
      {"_punctuation_list", "，", -1.0},
      {"_punctuation_list", "。", -1.1},
      {"_punctuation_list", "、", -1.2},
      {"_punctuation_list", "；", -1.3},
      {"_punctuation_list_q", "「", -1.0},
      {"_punctuation_list_w", "」", -1.0},
      // Letters and a keypad digit.
      {"_letter_A", "a", -1.0},
      {"_letter_A", "A", -1.5},
      {"_letter_B", "b", -1.0},
      {"_letter_B", "B", -1.5},
      {"_numpad_5", "5", -1.0},
  };
}

}  // namespace Kestova::Testing
