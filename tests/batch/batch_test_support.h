#pragma once

// The plug-in's fixture with what the batch layer adds to the process: the
// dispatch table's handlers are put back, the hot folder's stop check and
// the cancel flag of an interrupt are cleared.

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/action_dispatch.h"
#include "dialogs/console_progress.h"
#include "batch/hot_folder.h"
#include "foundation/value.h"
#include "support/plugin_test.h"

namespace korvex::test {

class BatchTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    for (const ActionTableRow& row : actionTable()) handlers_.emplace_back(row.name, row.handler);
    resetBatch();
  }
  void TearDown() override {
    resetBatch();
    for (auto& [name, handler] : std::exchange(handlers_, {})) setActionHandler(name, std::move(handler));
    PluginTest::TearDown();
  }

  // The log's message lines without their time prefix; the header dropped.
  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    const std::string text = logText();
    const std::string marker = ": Korvex::";
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (auto at = line.find(marker); at != std::string::npos)
        lines.push_back(line.substr(at + marker.size()));
      start = end + 1;
    }
    return lines;
  }

  static ArrayPtr chainOf(std::initializer_list<const char*> names) {
    ArrayPtr chain = Array::make();
    for (const char* name : names) {
      DictPtr action = Dictionary::make();
      action->set("Action", name);
      chain->append(action);
    }
    return chain;
  }

 private:
  static void resetBatch() {
    setHotfolderStopCheck(nullptr);
    InterruptCancels::reset();
  }

  std::vector<std::pair<std::string_view, ActionHandler>> handlers_;
};

}  // namespace korvex::test
