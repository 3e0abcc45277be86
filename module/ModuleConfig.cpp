#include "module/ModuleConfig.h"

#include <glib.h>

#include "module/Settings.h"

namespace Kestova {
namespace {

// The record of the options the exported functions carry; the options the
// record lacks are not in it.
ModuleConfig toModuleConfig(const Options& options) {
  ModuleConfig config{};
  for (const BoolOption& option : kBoolOptions) {
    if (option.record) config.*option.record = options.*option.field;
  }
  config.ctrl_enter = static_cast<int32_t>(options.ctrl_enter);
  return config;
}

// The options with the record's fields taken over.
Options withModuleConfig(Options options, const ModuleConfig& config) {
  for (const BoolOption& option : kBoolOptions) {
    if (option.record) options.*option.field = config.*option.record != 0;
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
