#include "host/output/composer_layout.h"

#include <gtest/gtest.h>

#include "host/page_item.h"
#include "text_setup.h"

namespace korvex {
namespace {

class ComposerLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override { former = setTextLayout(std::make_unique<ComposerLayout>()); }
  void TearDown() override { setTextLayout(std::move(former)); }
  std::unique_ptr<TextLayout> former;
};

TEST_F(ComposerLayoutTest, ColumnsShowWhatTheComposerSetAndFollowChanges) {
  test::TextSetup t;
  std::string words;
  for (int i = 0; i < 80; ++i) words += "word" + std::to_string(i) + " ";
  t.text(words + "end");
  MultiColumnItem* first = t.frame({0, 0, 100, 40});
  MultiColumnItem* second = t.frame({0, 100, 100, 140});
  auto* column1 = t.doc->GetDataBase()->instantiate<TextColumn>(first->GetChildUID(0));
  auto* column2 = t.doc->GetDataBase()->instantiate<TextColumn>(second->GetChildUID(0));
  ASSERT_TRUE(column1 && column2);

  EXPECT_EQ(column1->TextStart(), 0);
  EXPECT_GT(column1->TextSpan(), 0);
  EXPECT_EQ(column2->TextStart(), column1->TextSpan());
  auto overset = t.story->oversetStart();
  ASSERT_TRUE(overset.has_value());
  EXPECT_EQ(*overset, column2->TextStart() + column2->TextSpan());

  // A change to the story is seen at once: no stale composition.
  const int spanBefore = column1->TextSpan();
  ASSERT_EQ(t.story->Delete(0, t.story->TotalLength() - 1), kSuccess);
  ASSERT_EQ(t.story->Insert(0, "Short."), kSuccess);
  EXPECT_LT(column1->TextSpan(), spanBefore);
  EXPECT_EQ(column1->TextSpan(), t.story->TotalLength());
  EXPECT_EQ(column2->TextSpan(), 0);
  EXPECT_FALSE(t.story->oversetStart().has_value());
}

TEST(TextLayoutFallback, WithoutAComposerTheFirstColumnShowsEverything) {
  auto former = setTextLayout(nullptr);
  test::TextSetup t;
  t.text("Some text that may or may not fit.");
  MultiColumnItem* first = t.frame({0, 0, 10, 10});
  auto* column = t.doc->GetDataBase()->instantiate<TextColumn>(first->GetChildUID(0));
  EXPECT_EQ(column->TextSpan(), t.story->TotalLength());
  EXPECT_FALSE(t.story->oversetStart().has_value());
  setTextLayout(std::move(former));
}

}  // namespace
}  // namespace korvex
