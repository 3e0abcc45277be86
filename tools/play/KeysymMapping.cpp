#include "tools/play/KeysymMapping.h"

#include <X11/keysym.h>

namespace Kestova {

KeyEvent keyEventFor(const Key& key, std::string_view token) {
  KeyEvent event;
  event.mask = (key.shift ? 1u : 0u) | (key.ctrl ? 4u : 0u);
  switch (key.namedKey) {
    case NamedKey::Left:
      event.keysym = XK_Left;
      return event;
    case NamedKey::Right:
      event.keysym = XK_Right;
      return event;
    case NamedKey::Up:
      event.keysym = XK_Up;
      return event;
    case NamedKey::Down:
      event.keysym = XK_Down;
      return event;
    case NamedKey::Home:
      event.keysym = XK_Home;
      return event;
    case NamedKey::End:
      event.keysym = XK_End;
      return event;
    case NamedKey::Other:
      if (token.find("PgUp") != std::string_view::npos) {
        event.keysym = XK_Prior;
      } else if (token.find("PgDn") != std::string_view::npos) {
        event.keysym = XK_Next;
      } else {
        event.keysym = XK_F12;
      }
      return event;
    case NamedKey::None:
      break;
  }
  const char c = key.character;
  if (key.numpad) {
    if (c >= '0' && c <= '9') {
      event.keysym = XK_KP_0 + static_cast<unsigned>(c - '0');
      return event;
    }
    switch (c) {
      case Key::kEnter:
        event.keysym = XK_KP_Enter;
        return event;
      case Key::kDelete:
        event.keysym = XK_KP_Delete;
        return event;
      case '*':
        event.keysym = XK_KP_Multiply;
        return event;
      case '+':
        event.keysym = XK_KP_Add;
        return event;
      case '-':
        event.keysym = XK_KP_Subtract;
        return event;
      case '.':
        event.keysym = XK_KP_Decimal;
        return event;
      case '/':
        event.keysym = XK_KP_Divide;
        return event;
      default:
        break;
    }
  }
  switch (c) {
    case Key::kSpace:
      event.keysym = XK_space;
      break;
    case Key::kEnter:
      event.keysym = XK_Return;
      break;
    case Key::kEscape:
      event.keysym = XK_Escape;
      break;
    case Key::kBackspace:
      event.keysym = XK_BackSpace;
      break;
    case Key::kDelete:
      event.keysym = XK_Delete;
      break;
    case Key::kTab:
      event.keysym = key.shift ? XK_ISO_Left_Tab : XK_Tab;
      break;
    default:
      // Shift with a letter sends the capital letter's keysym, as X does.
      event.keysym = static_cast<unsigned char>(key.shift && c >= 'a' && c <= 'z' ? c - 32 : c);
      break;
  }
  return event;
}

}  // namespace Kestova
