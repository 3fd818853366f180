// What Melvane.exe is told on its command line: a document to show chosen ("Open with", a drop
// on the program's icon, Send to), the step to preselect, and the test and snapshot switches.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/user_messages.h"

namespace melvane {

struct StartOptions {
    std::u16string snapshot;  // save a picture of the window here and end
    std::u16string document;  // a document to show as chosen; nothing is transposed
    std::u16string steps;
    std::u16string startupReport;      // write the time to the first painted face here and end
    std::optional<Language> language;  // none: the user's own
    bool classic = false;  // --classic: every text piece on its own, chords by the table
    int tabs = 0;          // --tabs N: Tab pressed N times before the snapshot (the focus ring)
};

// The program's arguments without its own name. A word that is no option is the document (the
// first one; the shell passes one file per "Open with"); an option missing its value is dropped.
StartOptions ReadStartOptions(const std::vector<std::u16string>& args);

}  // namespace melvane
