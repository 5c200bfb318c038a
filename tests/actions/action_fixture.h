#pragma once

// The plug-in's fixture with copies of the example documents (with their
// pictures) in the jobs folder.

#include <filesystem>

#include "run/run_values.h"  // what the actions report back through
#include "support/plugin_test.h"

namespace korvex::test {

class ActionTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    namespace fs = std::filesystem;
    const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
    fs::create_directories(jobs());
    fs::copy(examples / "Links", jobs() / "Links", fs::copy_options::recursive);
    for (const char* name : {"Flyer Sommerfest.indd", "Katalog Seite 12.indd"})
      fs::copy_file(examples / name, jobs() / name);
  }
};

}  // namespace korvex::test
