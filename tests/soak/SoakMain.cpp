// Soak test: random keys of every kind (reading keys, punctuation, named and
// keypad keys, unknown keysyms, every modifier mask), candidate clicks and
// paging with any row, resets, flushes, window calls and settings changes,
// fed through the test host into the real module. After every call the host
// side is checked (preedit well formed and cut on a character boundary,
// commits non-empty UTF-8, candidate rows non-empty), and the heap in use is
// sampled: after warm-up it must stay flat.
//
// Usage: kestova_soak [keys [seed [--keep-window]]]   (default 20000 keys, seed 1)
#include <glib.h>
#include <malloc.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "testhost/TestEnvironment.h"
#include "testhost/TestHost.h"
#include "text/Utf8.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

using Kestova::TestEnvironment;
using Kestova::TestHost;

// Bytes of heap in use by the program (the sanitizer's count when it owns
// the heap).
size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

size_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0;
  size_t resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

int failures = 0;

void fail(uint64_t step, const std::string& what) {
  std::fprintf(stderr, "step %" PRIu64 ": %s\n", step, what.c_str());
  if (++failures > 20) std::exit(1);
}

// X11 keysyms the module names, and some it does not know.
constexpr unsigned kNamedKeysyms[] = {
    0xff50, 0xff51, 0xff52, 0xff53, 0xff54, 0xff55, 0xff56, 0xff57,  // Home..End
    0xff95, 0xff96, 0xff97, 0xff98, 0xff99, 0xff9a, 0xff9b, 0xff9c,  // KP_Home..KP_End
    0xff80, 0xff09, 0xfe20, 0xff08, 0xff0d, 0xff1b, 0xffff,          // space tab bs ret esc del
    0xff8d, 0xff9f, 0xffaa, 0xffab, 0xffad, 0xffae, 0xffaf,          // keypad operators
    0xffb0, 0xffb1, 0xffb5, 0xffb9,                                  // keypad digits
};
constexpr unsigned kUnknownKeysyms[] = {
    0,      0xffe1, 0xffe3, 0xffe9,    0xffbe, 0xffc9,     0xff63, 0xff67,  // modifiers, F keys
    0x00e9, 0x01a1, 0x20ac, 0x1000041, 0xfe03, 0xffffffff, 0x7f,   0x1f,
};
// Keys of the Standard layout that spell the syllables of the sample data.
constexpr std::string_view kReadingKeys = "hkg4su3cl5jp67 ";

unsigned randomKeysym(std::mt19937_64& random) {
  auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  switch (pick(10)) {
    case 0:
    case 1:
    case 2:
    case 3:
      return static_cast<unsigned char>(kReadingKeys[pick(kReadingKeys.size())]);
    case 4:
    case 5:
      return static_cast<unsigned>(0x21 + pick(0x7e - 0x21 + 1));  // any printable ASCII
    case 6:
    case 7:
    case 8:
      return kNamedKeysyms[pick(std::size(kNamedKeysyms))];
    default:
      return pick(4) == 0 ? static_cast<unsigned>(random())
                          : kUnknownKeysyms[pick(std::size(kUnknownKeysyms))];
  }
}

unsigned randomMask(std::mt19937_64& random) {
  switch (random() % 12) {
    case 0:
    case 1:
      return 1;  // Shift
    case 2:
      return 4;  // Control
    case 3:
      return 5;
    case 4:
      return static_cast<unsigned>(random() & 0xff);  // anything, Lock and Mod1 included
    default:
      return 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t keys = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 20000;
  const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  const bool keepWindow = argc > 3 && std::string_view(argv[3]) == "--keep-window";
  std::mt19937_64 random(seed);

  TestEnvironment environment;
  environment.activate();
  environment.writePhraseFile(TestEnvironment::samplePhrases());
  std::string error;
  auto host = TestHost::load(KESTOVA_MODULE_PATH, &error);
  if (!host) {
    std::fprintf(stderr, "cannot load the module: %s\n", error.c_str());
    return 1;
  }
  if (host->initWin() != 1) {
    std::fprintf(stderr, "module_init_win failed\n");
    return 1;
  }

  const uint64_t warmUp = keys / 10;
  size_t heapAfterWarmUp = 0;
  size_t heapPeak = 0;
  size_t commits = 0;
  size_t consumed = 0;
  const char* layouts[] = {"zo", "et", "hsu", "ibm", "et26", "pinyin", "dvorak"};

  for (uint64_t step = 0; step < keys; ++step) {
    const unsigned keysym = randomKeysym(random);
    const unsigned mask = randomMask(random);
    int result = host->feedKey(keysym, mask);
    if (result != 0 && result != 1) fail(step, "feedkey result " + std::to_string(result));
    consumed += result;
    if (host->feedKeyRelease(keysym, mask) != 0) fail(step, "a key release was consumed");

    switch (random() % 64) {
      case 0:
        host->clickRow(static_cast<int>(random() % 24) - 4);
        break;
      case 1:
        host->clickNextPage();
        break;
      case 2:
        host->clickPreviousPage();
        break;
      case 3:
        host->reset();
        break;
      case 4:
        host->flushInput();
        break;
      case 5:
        host->moveWin(static_cast<int>(random() % 3000) - 1000,
                      static_cast<int>(random() % 3000) - 1000);
        break;
      case 6:
        if (random() % 2) {
          host->hideWin();
        } else {
          host->showWin();
        }
        host->getWinGeom();
        break;
      case 7:
        if (random() % 8 == 0) {
          // New settings, picked up at the next key outside a composition.
          environment.writeKeyboardFile(std::string(layouts[random() % std::size(layouts)]) +
                                        (random() % 2 ? " 1234" : ""));
          environment.writeSettingsFile(
              std::string("{\"choose_candidate_using_space\": ") +
              (random() % 2 ? "true" : "false") +
              ", \"esc_clears_buffer\": " + (random() % 2 ? "true" : "false") +
              ", \"half_width_punctuation\": " + (random() % 2 ? "true" : "false") +
              ", \"ctrl_enter\": \"" + (random() % 2 ? "bpmf_reading" : "braille_unicode") + "\"}");
        }
        break;
      default:
        break;
    }

    // gcin runs the GTK main loop between calls; without it the X events
    // of the status window would pile up in the client's queue.
    while (g_main_context_iteration(nullptr, FALSE)) {
    }

    TestHost::Preedit preedit = host->preedit();
    // At most two runs: the underline, and the caret's character or the
    // marked range in reverse video.
    if (preedit.result < 0 || preedit.result > 2) fail(step, "preedit result");
    if (preedit.text.size() >= 512) fail(step, "preedit text not terminated");
    if (!Kestova::Utf8::isValid(preedit.text))
      fail(step, "preedit text is not UTF-8: " + preedit.text);
    if (preedit.cursor < 0 ||
        static_cast<size_t>(preedit.cursor) > Kestova::Utf8::characterCount(preedit.text)) {
      fail(step, "preedit cursor " + std::to_string(preedit.cursor) + " outside \"" + preedit.text +
                     "\"");
    }
    if (preedit.fourth != 0) fail(step, "fourth preedit value not 0");
    if ((preedit.result > 0) != !preedit.text.empty() ||
        preedit.result != static_cast<int>(preedit.attributes.size())) {
      fail(step, "attribute count");
    }
    for (const PreeditAttribute& attribute : preedit.attributes) {
      if ((attribute.kind != 1 && attribute.kind != 2) || attribute.start < 0 ||
          attribute.start >= attribute.end ||
          static_cast<size_t>(attribute.end) > Kestova::Utf8::characterCount(preedit.text)) {
        fail(step, "preedit attribute outside \"" + preedit.text + "\"");
      }
    }

    for (const std::string& text : host->commits()) {
      if (text.empty() || !Kestova::Utf8::isValid(text)) fail(step, "bad commit: " + text);
    }
    commits += host->commits().size();
    host->takeCommitted();
    // The host keeps every commit; drop them so that its own record does
    // not count as growth of the module (the host object is not const).
    const_cast<std::vector<std::string>&>(host->commits()).clear();
    host->clearCallLog();
    if (host->candidateWindow().shown) {
      for (const auto& [row, text] : host->candidateWindow().rows) {
        if (text.empty() || !Kestova::Utf8::isValid(text)) fail(step, "bad candidate row");
      }
    }

    const size_t heap = heapInUse();
    if (step == warmUp) {
      heapAfterWarmUp = heap;
      // GTK itself keeps about 170 bytes for every show and hide of a
      // top-level window when no window manager runs (a plain GTK program
      // shows the same), which would hide what the module does. From here
      // on the host suppresses the window; the module still redraws it.
      if (!keepWindow) host->setWindowSuppressed(1);
    }
    if (step > warmUp && heap > heapPeak) heapPeak = heap;
    if (keys >= 10 && step % (keys / 10) == 0) {
      std::printf("%9" PRIu64 " keys: heap %zu KiB, resident %zu KiB\n", step, heap / 1024,
                  residentBytes() / 1024);
      std::fflush(stdout);
    }
  }
  host->flushInput();
  host->reset();
  const size_t heapAtEnd = heapInUse();
  std::printf("%" PRIu64
              " keys, %zu consumed, %zu commits; heap after warm-up %zu KiB, "
              "peak %zu KiB, at end %zu KiB; resident %zu KiB\n",
              keys, consumed, commits, heapAfterWarmUp / 1024, heapPeak / 1024, heapAtEnd / 1024,
              residentBytes() / 1024);
  // Flat: the heap may move with the composition, the pick history (which
  // is bounded) and the phrases added, but must not keep growing with keys.
  constexpr size_t kAllowedGrowth = 4 * 1024 * 1024;
  if (heapAtEnd > heapAfterWarmUp + kAllowedGrowth) {
    fail(keys, "heap grew by " + std::to_string((heapAtEnd - heapAfterWarmUp) / 1024) + " KiB");
  }
  return failures == 0 ? 0 : 1;
}
