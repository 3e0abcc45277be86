#include "module/ModuleConfig.h"

#include <glib.h>

#include <array>

#include "core/Settings.h"

namespace Kestova {
namespace {

// The record's boolean fields: those of the first options of kBoolOptions,
// in the same order.
constexpr std::array<std::int32_t ModuleConfig::*, kOriginalBoolOptions> kRecordFields = {
    &ModuleConfig::choose_candidate_using_space, &ModuleConfig::select_phrase_after_cursor,
    &ModuleConfig::move_cursor_after_selection,  &ModuleConfig::esc_clears_buffer,
    &ModuleConfig::keep_invalid_syllable,        &ModuleConfig::put_lowercase_to_buffer,
    &ModuleConfig::half_width_punctuation,       &ModuleConfig::repeated_punctuation_selects,
};

// The record of the options the exported functions carry; the options the
// record lacks are not in it.
ModuleConfig toModuleConfig(const Options& options) {
  ModuleConfig config{};
  for (std::size_t i = 0; i < kRecordFields.size(); ++i) {
    config.*kRecordFields[i] = options.*kBoolOptions[i].field;
  }
  config.ctrl_enter = static_cast<int32_t>(options.ctrl_enter);
  return config;
}

// The options with the record's fields taken over.
Options withModuleConfig(Options options, const ModuleConfig& config) {
  for (std::size_t i = 0; i < kRecordFields.size(); ++i) {
    options.*kBoolOptions[i].field = config.*kRecordFields[i] != 0;
  }
  options.ctrl_enter = ctrlEnterMode(config.ctrl_enter);
  return options;
}

}  // namespace
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
