#include "host/user_style_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "foundation/json_node.h"
#include "host/host_types.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

struct Numbered {
  std::string name;
  int n = 0;
};

Result<Numbered> readNumbered(const std::string& text, const std::string& name) {
  Numbered item{.name = name};
  Status read = readJson(text, [&item](const JsonNode& root) {
    root.expectObject({"n"});
    item.n = static_cast<int>(root.at("n").integer(0, 9));
  });
  if (!read) return read.failure();
  return item;
}

TEST(UserStyleStore, LoadsInByteOrderAndReportsEveryRefusedFile) {
  test::TempHome home;
  const fs::path folder = home.scratch() / "styles";
  UserStyleStore store(folder.string(), {"Default"});
  EXPECT_TRUE(store.load<Numbered>(readNumbered).styles.empty()) << "a missing folder has no styles";

  test::writeFile(folder / "b.json", R"({"n": 2})");
  test::writeFile(folder / "B.json", R"({"n": 1})");
  test::writeFile(folder / "Ärger.json", R"({"n": 3})");
  test::writeFile(folder / "big.json", R"({"n": 4294967297})");
  test::writeFile(folder / "[Built-in].json", R"({"n": 1})");
  test::writeFile(folder / "Default.json", R"({"n": 1})");
  test::writeFile(folder / ".hidden.json", "not a style");
  test::writeFile(folder / "notes.txt", "not a style");
  fs::create_directories(folder / "folder.json");

  const auto loaded = store.load<Numbered>(readNumbered);
  std::vector<std::string> names;
  for (const Numbered& item : loaded.styles) names.push_back(item.name + "=" + std::to_string(item.n));
  EXPECT_EQ(names, (std::vector<std::string>{"B=1", "b=2", "Ärger=3"}));
  std::vector<std::string> refused;
  for (const StyleRefusal& refusal : loaded.refusals) refused.push_back(refusal.text());
  EXPECT_EQ(refused, (std::vector<std::string>{
                         (folder / "Default.json").string() + ": the name \"Default\" is a built-in name",
                         (folder / "[Built-in].json").string() +
                             ": the name \"[Built-in]\" begins with \"[\" like the built-in names",
                         (folder / "big.json").string() + ": $.n: out of range (0 to 9)",
                     }));
}

TEST(UserStyleStore, SavesOnlyUnderNamesThatAreFileNames) {
  test::TempHome home;
  const fs::path folder = home.scratch() / "new/styles";
  UserStyleStore store(folder.string(), {"Default"});
  ASSERT_TRUE(store.save("Mine", R"({"n": 1})"));
  ASSERT_TRUE(store.save("Mine", R"({"n": 5})")) << "replaces the older file";
  EXPECT_EQ(test::readFile(folder / "Mine.json"), R"({"n": 5})");

  const std::vector<std::string> badNames = {"",       ".Mine",     "../Mine",
                                             "a/b",    "tab\tname", std::string("nul\0", 4),
                                             "[Mine]", "Default",   std::string(201, 'x')};
  for (const std::string& bad : badNames) {
    const Status saved = store.save(bad, "{}");
    EXPECT_EQ(saved.code(), kInvalidParameterError) << bad;
    EXPECT_EQ(saved.message().find('\t'), std::string::npos) << "one line: " << saved.message();
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  EXPECT_FALSE(fs::exists(folder.parent_path() / "Mine.json"));
}

}  // namespace
}  // namespace korvex
