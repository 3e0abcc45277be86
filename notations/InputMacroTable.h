// The table of input macros by name: what the composite model asks to
// expand every phrase value it returns. A table owns every macro, made once
// when it is constructed; the macros themselves, and ICU with them, stay
// behind this header. The models' loader makes the one table the module
// uses and hands it to the composite model; tests and benchmarks make their
// own.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "text/TextHash.h"

namespace Kestova {

class InputMacro;

// Every input macro by name. Filled once on construction, never changed.
class InputMacroTable {
 public:
  InputMacroTable();
  ~InputMacroTable();
  InputMacroTable(const InputMacroTable&) = delete;
  InputMacroTable& operator=(const InputMacroTable&) = delete;

  // The macro's text if text is exactly a macro name; otherwise text itself.
  std::string expand(std::string_view text) const;

  size_t size() const { return macros_.size(); }

 private:
  // Keeps the first macro registered under a name.
  void add(std::unique_ptr<InputMacro> macro);

  std::unordered_map<std::string, std::unique_ptr<InputMacro>, TextHash, std::equal_to<>> macros_;
  // Every macro name starts with "MACRO@", so expand can pass any other text
  // (nearly every phrase of a look-up) through without hashing it. Cleared if
  // a name without the prefix is ever registered.
  bool allNamesPrefixed_ = true;
};

}  // namespace Kestova
