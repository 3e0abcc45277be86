// The notations that Control+Enter commits instead of the composed text.
// Each function reads the key handler's grid or its last walk as they stand
// and returns UTF-8 text; none of them fails or throws (beyond memory
// exhaustion). They own nothing and change nothing: the grid and the walk
// stay the caller's. The engine's key handler calls them; tests may too.
//
// A walk node whose reading begins with "_" is special (punctuation, letters
// and other keys typed into the composition): only its value is used.
#pragma once

#include <string>

#include "grid/ReadingGrid.h"
#include "notations/BrailleConverter.h"

namespace Kestova {

// All readings of the grid in order, joined with "-"; special readings are
// included as they are. Example: "ㄋㄧˇ-ㄏㄠˇ-_punctuation_Standard_<".
std::string exportReadings(const Palisar::Lattivor2::ReadingGrid& grid);

// Each node as <ruby>VALUE<rp>(</rp><rt>READINGS</rt><rp>)</rp></ruby> with
// the node's readings separated by spaces; a special node as its value.
// Nothing between nodes; "&", "<" and ">" in values are written as entities.
std::string exportHtmlRuby(const Palisar::Lattivor2::BestPath& walk);

// Each node's syllables in Hanyu Pinyin without tone digits ("ü" for ü), a
// special node as its value; everything run together ("nihao，").
std::string exportHanyuPinyin(const Palisar::Lattivor2::BestPath& walk);

// Each node converted to Braille on its own: the node's syllables one by one,
// or a special node's value as text. The pieces are run together
// ("⠝⠡⠈⠗⠩⠈⠆" for 你好，).
std::string exportBraille(const Palisar::Lattivor2::BestPath& walk, BrailleEncoding encoding);

}  // namespace Kestova
