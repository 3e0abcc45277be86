#include "core/Settings.h"

#include <glib.h>
#include <json-c/json.h>
#include <sys/stat.h>

#include <memory>

#include "base/FileAccess.h"

namespace Kestova {
namespace {

struct JsonDeleter {
  void operator()(json_object* object) const { json_object_put(object); }
};
using JsonPtr = std::unique_ptr<json_object, JsonDeleter>;

struct GFreeDeleter {
  void operator()(void* p) const { g_free(p); }
};
using OwnedGString = std::unique_ptr<char, GFreeDeleter>;

// The whole of a settings file, or nothing when it is not a small regular
// file (a FIFO at the path must not hold gcin's thread).
std::optional<std::string> readSettingsFile(const std::string& path) {
  FileAccess::ReadResult read = FileAccess::readFile(path, FileAccess::kSettingsFileLimit);
  if (!read.ok()) return std::nullopt;
  return std::move(read.bytes);
}

// One JSON object and nothing after it but white space.
JsonPtr parseObject(std::string_view text) {
  json_tokener* tokener = json_tokener_new();
  if (!tokener) return nullptr;
  JsonPtr root(json_tokener_parse_ex(tokener, text.data(), static_cast<int>(text.size())));
  const size_t consumed = json_tokener_get_parse_end(tokener);
  const bool complete = json_tokener_get_error(tokener) == json_tokener_success;
  json_tokener_free(tokener);
  if (!root || !complete || !json_object_is_type(root.get(), json_type_object)) return nullptr;
  if (text.substr(consumed).find_first_not_of(" \t\r\n") != std::string_view::npos) return nullptr;
  return root;
}

// The mode a settings-file string names, if any.
std::optional<CtrlEnterMode> ctrlEnterModeNamed(std::string_view name) {
  for (size_t i = 0; i < kCtrlEnterChoices.size(); ++i) {
    if (kCtrlEnterChoices[i].key == name) return static_cast<CtrlEnterMode>(i);
  }
  return std::nullopt;
}

// HOME/.gcin/config/<name>, with an unset HOME taken as "".
std::string gcinConfigPath(std::string_view fileName) {
  const char* home = g_getenv("HOME");
  std::string name(fileName);
  OwnedGString path(g_build_filename(home ? home : "", ".gcin", "config", name.c_str(), nullptr));
  return path.get();
}

}  // namespace

CtrlEnterMode ctrlEnterMode(int index) {
  return index >= 0 && index < kCtrlEnterModeCount ? static_cast<CtrlEnterMode>(index)
                                                   : CtrlEnterMode::Disabled;
}

Options readOptions(const std::string& path) {
  Options options;
  const std::optional<std::string> text = readSettingsFile(path);
  if (!text) return options;
  JsonPtr root = parseObject(*text);
  if (!root) return options;
  for (const BoolOption& option : kBoolOptions) {
    json_object* value = nullptr;
    if (json_object_object_get_ex(root.get(), std::string(option.key).c_str(), &value) &&
        json_object_is_type(value, json_type_boolean)) {
      options.*option.field = json_object_get_boolean(value);
    }
  }
  json_object* value = nullptr;
  if (json_object_object_get_ex(root.get(), std::string(kCtrlEnterKey).c_str(), &value) &&
      json_object_is_type(value, json_type_string)) {
    // The whole string: a NUL inside it must not make a prefix match.
    const std::string_view name(json_object_get_string(value),
                                static_cast<size_t>(json_object_get_string_len(value)));
    if (auto mode = ctrlEnterModeNamed(name)) options.ctrl_enter = *mode;
  }
  return options;
}

bool writeOptions(const std::string& path, const Options& options) {
  JsonPtr root(json_object_new_object());
  const auto addBoolean = [&](const BoolOption& option) {
    json_object_object_add(root.get(), std::string(option.key).c_str(),
                           json_object_new_boolean(options.*option.field));
  };
  for (size_t i = 0; i < kOriginalBoolOptions; ++i) addBoolean(kBoolOptions[i]);
  const std::string_view mode = kCtrlEnterChoices[static_cast<size_t>(options.ctrl_enter)].key;
  json_object_object_add(root.get(), std::string(kCtrlEnterKey).c_str(),
                         json_object_new_string_len(mode.data(), static_cast<int>(mode.size())));
  for (size_t i = kOriginalBoolOptions; i < kBoolOptions.size(); ++i) addBoolean(kBoolOptions[i]);

  OwnedGString directory(g_path_get_dirname(path.c_str()));
  if (g_mkdir_with_parents(directory.get(), 0700) != 0) return false;

  std::string text = json_object_to_json_string_ext(root.get(), JSON_C_TO_STRING_PRETTY);
  text += '\n';
  return FileAccess::replaceFile(path, text);
}

std::string moduleDataRoot() {
  constexpr const char* kInstalledDataRoot = "/usr/local/share/gcin/kestova";
  const char* root = g_getenv("KESTOVA_DATA_ROOT");
  return root && *root ? root : kInstalledDataRoot;
}

std::string moduleUserDirectory() {
  const char* home = g_getenv("HOME");
  OwnedGString path(g_build_filename(home ? home : "", ".gcin", "kestova", nullptr));
  return path.get();
}

std::string keyboardFilePath() {
  return gcinConfigPath("phonetic-keyboard2");
}
std::string settingsFilePath() {
  return gcinConfigPath("kestova.json");
}

KeyboardSettings readKeyboardFile(const std::string& path) {
  KeyboardSettings settings;
  // Only the first line counts, and only its first 255 bytes.
  const std::optional<std::string> text = readSettingsFile(path);
  if (!text) return settings;
  const std::string line = text->substr(0, std::min(text->find('\n'), size_t{255}));
  // Two white-space separated words, each cut to 31 bytes. (A plain
  // "%31s %31s" scan would read the rest of an over-long name as the keys.)
  std::string_view rest(line);
  std::string words[2];
  int found = 0;
  constexpr std::string_view kSpace = " \t\r\n\v\f";
  while (found < 2) {
    size_t start = rest.find_first_not_of(kSpace);
    if (start == std::string_view::npos) break;
    size_t end = rest.find_first_of(kSpace, start);
    std::string_view word = rest.substr(start, end == std::string_view::npos ? end : end - start);
    words[found++] = std::string(word.substr(0, 31));
    if (end == std::string_view::npos) break;
    rest = rest.substr(end);
  }
  if (found >= 1) settings.keyboardName = words[0];
  if (found >= 2) settings.selectionKeys = words[1];
  return settings;
}

const BpmfKeyboardLayout* keyboardLayoutNamed(std::string_view name) {
  if (name == "et") return BpmfKeyboardLayout::ETenLayout();
  if (name == "hsu") return BpmfKeyboardLayout::HsuLayout();
  if (name == "ibm") return BpmfKeyboardLayout::IBMLayout();
  if (name == "et26") return BpmfKeyboardLayout::ETen26Layout();
  if (name == "pinyin" || name == "pinyin-no-tone") return BpmfKeyboardLayout::HanyuPinyinLayout();
  return BpmfKeyboardLayout::StandardLayout();
}

int64_t fileModificationTime(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return 0;
  return static_cast<int64_t>(st.st_mtime);
}

}  // namespace Kestova
