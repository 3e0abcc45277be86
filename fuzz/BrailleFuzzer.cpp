// Text to Braille in both encodings. The text conversion never throws; the
// one-syllable conversion throws only its documented runtime error. Valid
// UTF-8 in gives valid UTF-8 out.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "notations/BrailleConverter.h"

using namespace Kestova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool validInput = Utf8::isValid(text);
  for (BrailleEncoding encoding : {BrailleEncoding::Unicode, BrailleEncoding::Ascii}) {
    std::string converted = convertTextToBraille(text, encoding);
    if (validInput) KESTOVA_FUZZ_CHECK(Utf8::isValid(converted));
    try {
      std::string cells = convertSyllableToBraille(text, encoding);
      KESTOVA_FUZZ_CHECK(!cells.empty());
      KESTOVA_FUZZ_CHECK(Utf8::isValid(cells));
    } catch (const std::runtime_error&) {
      // Not one syllable: the documented refusal.
    }
  }
  return 0;
}
