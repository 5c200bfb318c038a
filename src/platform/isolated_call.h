#pragma once

// Runs a library that reads untrusted files in a child process of its own:
// a crash, memory corruption or a hang inside it ends the child, never this
// process, and comes back as a failure naming what was read.

#include <chrono>
#include <functional>
#include <string>

#include "foundation/result.h"

namespace korvex {

// work's result (its text, or its failure's code and message), or a failure
// "what: ..." when the child died, wrote nothing, or ran past limit (it is
// then killed). work runs in a forked copy of this process: it must not rely
// on other threads.
Result<std::string> runIsolated(const std::function<Result<std::string>()>& work, const std::string& what,
                                std::chrono::seconds limit = std::chrono::seconds(120));

}  // namespace korvex
