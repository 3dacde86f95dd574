// The general error display: every exception that a command lets out of the core ends in a
// modal error box, and the program goes on. Commands run through Guarded (the main window's
// actions, start-up and shutdown steps do), and the application's event delivery catches
// whatever still escapes (application.h), so no exception ever unwinds through Qt.
//
// The box shows the exception's message. The core writes its messages in Shift_JIS and the
// standard library in UTF-8 (file names in filesystem errors): a message that is valid UTF-8
// is taken as UTF-8, anything else as Shift_JIS.
#pragma once

#include "store/dialogs.h"

#include <exception>
#include <string>
#include <utility>

namespace pelorin {

// The box text (Shift_JIS) for an exception's message.
std::string ErrorText(const char* what);
// Shows the exception that is being handled (call from a catch block).
void ShowCurrentError(TDialogs& dialogs) noexcept;

// Runs `f`; an exception shows the error box instead of leaving. True when `f` returned.
template <class F>
bool Guarded(TDialogs& dialogs, F&& f) noexcept {
    try {
        std::forward<F>(f)();
        return true;
    } catch (...) {
        ShowCurrentError(dialogs);
        return false;
    }
}

}  // namespace pelorin
