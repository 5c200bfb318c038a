#pragma once

// The string tables sit below the dialogs, yet a table that can't be loaded
// must be shown to the user. The dialogs install a handler here at startup;
// until then such messages go to the log.

#include <functional>
#include <string>

namespace korvex {

using StringsAlertHandler = std::function<void(const std::string& message)>;

// Installs the handler (an empty one uninstalls it) and answers the former.
StringsAlertHandler setStringsAlertHandler(StringsAlertHandler handler);
// Shows the message through the installed handler, else logs it.
void stringsAlert(const std::string& message);

}  // namespace korvex
