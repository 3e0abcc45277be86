#include "module/ModuleConfig.h"

#include <fcntl.h>
#include <glib.h>
#include <json-c/json.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace Kestova {
namespace {

constexpr std::array<std::string_view, kCtrlEnterModeCount> kCtrlEnterNames = {
    "disabled", "bpmf_reading", "html_ruby", "hanyu_pinyin", "braille_unicode", "braille_ascii"};

struct BoolOption {
  const char* key;
  int32_t ModuleConfig::*field;
};

// The eight boolean options in file order; ctrl_enter follows them.
constexpr std::array<BoolOption, 8> kBoolOptions = {{
    {"choose_candidate_using_space", &ModuleConfig::choose_candidate_using_space},
    {"select_phrase_after_cursor", &ModuleConfig::select_phrase_after_cursor},
    {"move_cursor_after_selection", &ModuleConfig::move_cursor_after_selection},
    {"esc_clears_buffer", &ModuleConfig::esc_clears_buffer},
    {"keep_invalid_syllable", &ModuleConfig::keep_invalid_syllable},
    {"put_lowercase_to_buffer", &ModuleConfig::put_lowercase_to_buffer},
    {"half_width_punctuation", &ModuleConfig::half_width_punctuation},
    {"repeated_punctuation_selects", &ModuleConfig::repeated_punctuation_selects},
}};

struct JsonDeleter {
  void operator()(json_object* object) const { json_object_put(object); }
};
using JsonPtr = std::unique_ptr<json_object, JsonDeleter>;

struct GFreeDeleter {
  void operator()(void* p) const { g_free(p); }
};
using OwnedGString = std::unique_ptr<char, GFreeDeleter>;

// Writes the whole text to a new file and flushes it to disk; false on any error.
bool writeWholeFile(const std::string& path, std::string_view text) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  size_t done = 0;
  while (ok && done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      ok = errno == EINTR;
      continue;
    }
    done += static_cast<size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace

std::string_view ctrlEnterName(int index) {
  if (index < 0 || index >= kCtrlEnterModeCount) return kCtrlEnterNames[0];
  return kCtrlEnterNames[static_cast<size_t>(index)];
}

int ctrlEnterIndex(std::string_view name) {
  for (size_t i = 0; i < kCtrlEnterNames.size(); ++i) {
    if (kCtrlEnterNames[i] == name) return static_cast<int>(i);
  }
  return -1;
}

ModuleConfig defaultModuleConfig() {
  ModuleConfig config{};
  config.choose_candidate_using_space = 1;
  return config;
}

std::string gcinConfigPath(std::string_view fileName) {
  const char* home = g_getenv("HOME");
  std::string name(fileName);
  OwnedGString path(g_build_filename(home ? home : "", ".gcin", "config", name.c_str(), nullptr));
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
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "re"), &std::fclose);
  if (!file) return settings;
  char line[256] = {};
  if (!std::fgets(line, sizeof line, file.get())) return settings;
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

int64_t fileModificationTime(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return 0;
  return static_cast<int64_t>(st.st_mtime);
}

}  // namespace Kestova

using namespace Kestova;

char* kestova_conf_path(void) {
  return g_strdup(settingsFilePath().c_str());
}

void kestova_conf_load(ModuleConfig* config) {
  if (!config) return;
  *config = defaultModuleConfig();
  JsonPtr root(json_object_from_file(settingsFilePath().c_str()));
  if (!root || !json_object_is_type(root.get(), json_type_object)) return;
  for (const BoolOption& option : kBoolOptions) {
    json_object* value = nullptr;
    if (json_object_object_get_ex(root.get(), option.key, &value) &&
        json_object_is_type(value, json_type_boolean)) {
      config->*option.field = json_object_get_boolean(value) ? 1 : 0;
    }
  }
  json_object* value = nullptr;
  if (json_object_object_get_ex(root.get(), "ctrl_enter", &value) &&
      json_object_is_type(value, json_type_string)) {
    int index = ctrlEnterIndex(json_object_get_string(value));
    if (index >= 0) config->ctrl_enter = index;
  }
}

int kestova_conf_save(const ModuleConfig* config) {
  if (!config) return 0;
  JsonPtr root(json_object_new_object());
  for (const BoolOption& option : kBoolOptions) {
    json_object_object_add(root.get(), option.key, json_object_new_boolean(config->*option.field));
  }
  std::string_view mode = ctrlEnterName(config->ctrl_enter);
  json_object_object_add(root.get(), "ctrl_enter",
                         json_object_new_string_len(mode.data(), static_cast<int>(mode.size())));

  const std::string path = settingsFilePath();
  OwnedGString directory(g_path_get_dirname(path.c_str()));
  if (g_mkdir_with_parents(directory.get(), 0700) != 0) return 0;

  std::string text = json_object_to_json_string_ext(root.get(), JSON_C_TO_STRING_PRETTY);
  text += '\n';
  const std::string temporary = path + ".tmp";
  if (!writeWholeFile(temporary, text) || std::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return 0;
  }
  return 1;
}
