// The shared object exports gcin's entry points and the settings functions,
// with C names, and nothing else.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string run(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
  std::string output;
  if (!pipe) return output;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
    output.append(buffer.data(), n);
  return output;
}

TEST(ExportedSymbolsTest, DynamicSymbolTableHoldsExactlyTheEntryPoints) {
  std::string output = run("nm -D --defined-only '" KESTOVA_MODULE_PATH "'");
  ASSERT_FALSE(output.empty());
  std::set<std::string> exported;
  std::istringstream lines(output);
  std::string address, type, name;
  while (lines >> address >> type >> name) {
    EXPECT_EQ(type, "T") << name;
    exported.insert(name);
  }
  const std::set<std::string> expected = {
      "module_init_win",
      "module_feedkey",
      "module_feedkey_release",
      "module_get_preedit",
      "module_reset",
      "module_flush_input",
      "module_move_win",
      "module_change_font_size",
      "module_show_win",
      "module_hide_win",
      "module_win_visible",
      "module_get_win_geom",
      "module_setup_window_create",
      "kestova_conf_path",
      "kestova_conf_load",
      "kestova_conf_save",
  };
  EXPECT_EQ(exported, expected);
}

}  // namespace
