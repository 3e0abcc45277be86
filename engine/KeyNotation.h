// The key notation: key sequences written as text ("su3cl3<Space>2"), read
// into key presses and written back. Tests, the fuzzers and kestova-play use
// it; the module never does. Owns nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Key.h"

namespace Kestova {

// A compact text form of key sequences, for test tables, the playground tool
// and fuzzers.
//
//   su3cl3<Space><Down>2
//
// Every printable ASCII character other than "<" stands for its own key.
// Angle brackets hold one key by name, optionally preceded by modifier
// prefixes "S-" (Shift) and "C-" (Control) in any order:
//
//   <Space> <Enter> <Esc> <BS> <Del> <Tab>      character keys 32 13 27 8 127 9
//   <Left> <Right> <Up> <Down> <Home> <End>     named keys
//   <PgUp> <PgDn> <Other>                       named key Other
//   <KP5> <KP*> <KPEnter> <KPDel>               numeric keypad keys
//   <lt>                                        the "<" character
//   <x>                                         any single printable character x
//
// Examples: <S-Left>, <C-Enter>, <C-\>, <S-Tab>, <KP5>.
//
// The presses keep what the key alone cannot: <PgUp> and <PgDn> page the
// candidate window, while the key handler sees both as Other.
std::optional<std::vector<KeyStroke>> parseKeyStrokes(std::string_view text,
                                                      std::string* error = nullptr);
std::optional<std::vector<Key>> parseKeyNotation(std::string_view text,
                                                 std::string* error = nullptr);

// The notation of one key; parseKeyNotation(formatKey(k)) gives back k.
std::string formatKey(const Key& key);
std::string formatKeys(const std::vector<Key>& keys);

}  // namespace Kestova
