// The settings window: a small GTK 3 window that edits the key handler's
// options of the module settings file, forgets the learnt words (emptying
// learnt.txt, which a running gcin watches) and, on its second page, the
// user's phrases. gcin's setup tool opens it through the exported entry
// point; there is never more than one such window at a time.
#pragma once

#include "module/HostFunctions.h"

// Shows the settings window, or brings the open one to the front. Saving goes
// to the settings file only; the running module picks the file up at its next
// configuration reload.
KESTOVA_EXPORT void module_setup_window_create(void);
