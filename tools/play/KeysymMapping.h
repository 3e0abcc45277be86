// The X11 key event a keyboard would send for a key of the engine's key
// notation, so the playground can drive the module exactly as gcin does.
#pragma once

#include <string_view>

#include "engine/Key.h"

namespace Kestova {

struct KeyEvent {
  unsigned keysym = 0;
  unsigned mask = 0;  // X11 modifier mask: 1 Shift, 4 Control
};

// `token` is the key's own notation (for example "<PgDn>"): the key value
// alone cannot tell Page Up from Page Down.
KeyEvent keyEventFor(const Key& key, std::string_view token);

}  // namespace Kestova
