#include "engine/KeyNotation.h"

#include <array>
#include <utility>

namespace Kestova {

namespace {

struct NamedEntry {
  std::string_view name;
  Key key;
  // The presenter's type where the key alone does not tell it.
  KeyType type = KeyStroke::of(key).type;
};

// Names of keys inside angle brackets. The first name of a key is the one
// formatKey writes.
constexpr std::array<NamedEntry, 18> kNames{{
    {"Space", Key::fromCharacter(Key::kSpace)},
    {"Enter", Key::fromCharacter(Key::kEnter)},
    {"Esc", Key::fromCharacter(Key::kEscape)},
    {"BS", Key::fromCharacter(Key::kBackspace)},
    {"Del", Key::fromCharacter(Key::kDelete)},
    {"Tab", Key::fromCharacter(Key::kTab)},
    {"Left", Key::fromNamedKey(NamedKey::Left)},
    {"Right", Key::fromNamedKey(NamedKey::Right)},
    {"Up", Key::fromNamedKey(NamedKey::Up)},
    {"Down", Key::fromNamedKey(NamedKey::Down)},
    {"Home", Key::fromNamedKey(NamedKey::Home)},
    {"End", Key::fromNamedKey(NamedKey::End)},
    {"Other", Key::fromNamedKey(NamedKey::Other)},
    {"PgUp", Key::fromNamedKey(NamedKey::Other), KeyType::PageUp},
    {"PgDn", Key::fromNamedKey(NamedKey::Other), KeyType::PageDown},
    {"lt", Key::fromCharacter('<')},
    {"KPEnter", Key::fromCharacter(Key::kEnter, false, false, true)},
    {"KPDel", Key::fromCharacter(Key::kDelete, false, false, true)},
}};

bool isPrintable(char c) {
  return c >= 0x21 && c <= 0x7e;
}

std::optional<KeyStroke> parseBracketed(std::string_view body) {
  bool shift = false;
  bool ctrl = false;
  // A modifier prefix needs something after it, so "<S->" is not "S" + "-".
  while (body.size() > 2 && body[1] == '-' && (body[0] == 'S' || body[0] == 'C')) {
    (body[0] == 'S' ? shift : ctrl) = true;
    body.remove_prefix(2);
  }
  std::optional<KeyStroke> press;
  for (const auto& entry : kNames) {
    if (entry.name == body) {
      press = KeyStroke{entry.type, entry.key};
      break;
    }
  }
  if (!press && body.size() == 3 && body.substr(0, 2) == "KP" && isPrintable(body[2])) {
    press = KeyStroke::of(Key::fromCharacter(body[2], false, false, true));
  }
  if (!press && body.size() == 1 && isPrintable(body[0])) {
    press = KeyStroke::of(Key::fromCharacter(body[0]));
  }
  if (!press) return std::nullopt;
  press->key.shift = shift;
  press->key.ctrl = ctrl;
  return press;
}

}  // namespace

std::optional<std::vector<KeyStroke>> parseKeyStrokes(std::string_view text, std::string* error) {
  auto fail = [&](std::string message) -> std::optional<std::vector<KeyStroke>> {
    if (error) *error = std::move(message);
    return std::nullopt;
  };
  std::vector<KeyStroke> keys;
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '<') {
      // The body is at least one character, so "<>>" names the ">" key; when
      // the first ">" leaves an unknown body the key may itself be ">", as in
      // "<S->>" or "<KP>>".
      std::size_t close = text.find('>', i + 2);
      if (close == std::string_view::npos) {
        return fail("unclosed \"<\" at offset " + std::to_string(i));
      }
      std::string_view body = text.substr(i + 1, close - i - 1);
      auto key = parseBracketed(body);
      if (!key && close + 1 < text.size() && text[close + 1] == '>') {
        ++close;
        body = text.substr(i + 1, close - i - 1);
        key = parseBracketed(body);
      }
      if (!key) return fail("unknown key <" + std::string(body) + ">");
      keys.push_back(*key);
      i = close + 1;
    } else if (isPrintable(c) || c == ' ') {
      keys.push_back(KeyStroke::of(Key::fromCharacter(c)));
      ++i;
    } else {
      return fail("unexpected byte " + std::to_string(static_cast<unsigned char>(c)) +
                  " at offset " + std::to_string(i));
    }
  }
  return keys;
}

std::optional<std::vector<Key>> parseKeyNotation(std::string_view text, std::string* error) {
  auto presses = parseKeyStrokes(text, error);
  if (!presses) return std::nullopt;
  std::vector<Key> keys;
  keys.reserve(presses->size());
  for (const KeyStroke& press : *presses) keys.push_back(press.key);
  return keys;
}

std::string formatKey(const Key& key) {
  std::string prefix;
  if (key.shift) prefix += "S-";
  if (key.ctrl) prefix += "C-";
  Key plain = key;
  plain.shift = false;
  plain.ctrl = false;
  for (const auto& entry : kNames) {
    if (entry.key == plain) return "<" + prefix + std::string(entry.name) + ">";
  }
  if (plain.namedKey == NamedKey::None && isPrintable(plain.character)) {
    if (plain.numpad) return "<" + prefix + "KP" + plain.character + ">";
    if (prefix.empty() && plain.character != '<') return std::string(1, plain.character);
    return "<" + prefix + plain.character + ">";
  }
  // Not expressible: a control byte or a numpad named key. Show its numbers.
  return "<?" + std::to_string(static_cast<int>(plain.character)) + "/" +
         std::to_string(static_cast<std::uint32_t>(plain.namedKey)) + ">";
}

std::string formatKeys(const std::vector<Key>& keys) {
  std::string out;
  for (const auto& key : keys) out += formatKey(key);
  return out;
}

}  // namespace Kestova
