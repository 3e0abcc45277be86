#include "module/ModuleConfig.h"

#include <glib.h>

#include "module/Settings.h"

namespace Kestova {

ModuleConfig toModuleConfig(const Options& options) {
  ModuleConfig config{};
  config.choose_candidate_using_space = options.choose_candidate_using_space;
  config.select_phrase_after_cursor = options.select_phrase_after_cursor;
  config.move_cursor_after_selection = options.move_cursor_after_selection;
  config.esc_clears_buffer = options.esc_clears_buffer;
  config.keep_invalid_syllable = options.keep_invalid_syllable;
  config.put_lowercase_to_buffer = options.put_lowercase_to_buffer;
  config.half_width_punctuation = options.half_width_punctuation;
  config.repeated_punctuation_selects = options.repeated_punctuation_selects;
  config.ctrl_enter = static_cast<int32_t>(options.ctrl_enter);
  return config;
}

Options withModuleConfig(Options options, const ModuleConfig& config) {
  options.choose_candidate_using_space = config.choose_candidate_using_space != 0;
  options.select_phrase_after_cursor = config.select_phrase_after_cursor != 0;
  options.move_cursor_after_selection = config.move_cursor_after_selection != 0;
  options.esc_clears_buffer = config.esc_clears_buffer != 0;
  options.keep_invalid_syllable = config.keep_invalid_syllable != 0;
  options.put_lowercase_to_buffer = config.put_lowercase_to_buffer != 0;
  options.half_width_punctuation = config.half_width_punctuation != 0;
  options.repeated_punctuation_selects = config.repeated_punctuation_selects != 0;
  options.ctrl_enter = ctrlEnterMode(config.ctrl_enter);
  return options;
}

}  // namespace Kestova

using namespace Kestova;

char* kestova_conf_path(void) {
  return g_strdup(settingsFilePath().c_str());
}

void kestova_conf_load(ModuleConfig* config) {
  if (config) *config = toModuleConfig(readOptions(settingsFilePath()));
}

int kestova_conf_save(const ModuleConfig* config) {
  if (!config) return 0;
  // The record holds only some of the options; the others keep what the
  // file says.
  const std::string path = settingsFilePath();
  return writeOptions(path, withModuleConfig(readOptions(path), *config)) ? 1 : 0;
}
