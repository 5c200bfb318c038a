#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_home.h"
#include "tables/korvex_tab_data.h"
#include "tables/my_tab_data2.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

void setModified(const fs::path& path, int secondsAfterEpoch) {
  fs::last_write_time(path, fs::file_time_type::clock::from_sys(
                                std::chrono::sys_seconds(std::chrono::seconds(1700000000 + secondsAfterEpoch))));
}

TEST(KorvexTabData, RowAccessAndRereadingWhenTheFileIsNewer) {
  test::TempHome home;
  const fs::path path = home.scratch() / "t.csv";
  test::writeFile(path, "A;B;A\n1;2;3\n4\n");
  setModified(path, 0);
  auto table = KorvexTabData::tabDataWithFile(path.string(), std::nullopt);
  ASSERT_TRUE(table);
  EXPECT_EQ(table->numberOfRows(), 2);
  // A repeated column name keeps the later column's value, read from the fields or the dictionary.
  EXPECT_EQ(table->stringForKey("A", 0), "3");
  EXPECT_EQ(table->stringForKey("B", 1), "");
  EXPECT_EQ(table->stringForKey("C", 0), std::nullopt);
  EXPECT_EQ(table->stringForKey("A", 2), std::nullopt);
  EXPECT_EQ(table->colForKey("A"), 0);
  EXPECT_EQ(table->colForKey("a"), -1);
  EXPECT_EQ(table->key(2), "A");
  EXPECT_EQ(table->key(3), std::nullopt);
  EXPECT_EQ(table->key(-1), std::nullopt);
  EXPECT_EQ(table->mappingForRow(-1), nullptr);
  EXPECT_EQ(table->mappingForRow(2), nullptr);
  // The dictionary is the table's own: a change through it is seen later.
  table->mappingForRow(0)->set("B", Value("x"));
  EXPECT_EQ(table->stringForKey("B", 0), "x");
  EXPECT_EQ(table->mappingForRow(0)->get("A").stringValue(), "3");

  test::writeFile(path, "A\nneu\n");
  setModified(path, 0);
  EXPECT_FALSE(table->wasModified());  // the same time is no change
  EXPECT_EQ(table->numberOfRows(), 2);
  setModified(path, 1);
  EXPECT_TRUE(table->wasModified());
  EXPECT_EQ(table->keys(), std::vector<std::string>{"A"});
  EXPECT_EQ(table->stringForKey("A", 0), "neu");
  EXPECT_FALSE(table->wasModified());

  // JSON numbers come back as their decimal text.
  test::writeFile(home.scratch() / "n.json", R"([{"n": 0}, {"n": 42}])");
  KorvexTabData json;
  json.setupWithJSONData((home.scratch() / "n.json").string());
  EXPECT_EQ(json.stringForKey("n", 0), "42");
}

TEST(MyTabData2, ReloadWithPathReadsOnlyWhatChanged) {
  test::TempHome home;
  const fs::path one = home.scratch() / "one.txt";
  const fs::path two = home.scratch() / "two.txt";
  test::writeFile(one, "b;2\r\n\r\n\r\n\r\na;1\r\n;leer\r\n");
  test::writeFile(two, "x\t9\n");
  setModified(one, 0);
  auto table = MyTabData2::tabDataWithFile(one.string(), 4);
  EXPECT_EQ(table->numberOfRows(), 3);
  EXPECT_EQ(table->keys2(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ((*table)["a"], "1");
  EXPECT_EQ((*table)[""], "leer");
  EXPECT_EQ((*table)["c"], std::nullopt);

  EXPECT_FALSE(table->reloadWithPath(one.string()));
  test::writeFile(one, "a;neu\n");
  setModified(one, 5);
  EXPECT_TRUE(table->reloadWithPath(one.string()));
  EXPECT_EQ((*table)["a"], "neu");
  EXPECT_TRUE(table->reloadWithPath(two.string()));
  EXPECT_EQ(table->separator(), "\t");
  EXPECT_EQ((*table)["x"], "9");
  EXPECT_EQ(MyTabData2::tabDataWithFile(std::nullopt, 4), nullptr);
}

}  // namespace
}  // namespace korvex
