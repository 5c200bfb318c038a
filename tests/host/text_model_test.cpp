#include <gtest/gtest.h>

#include <random>

#include "host/document.h"
#include "host/used_fonts.h"
#include "host_test_support.h"

namespace korvex {
namespace {

using Values = std::vector<std::pair<AttributeClass, AttributeValue>>;

TEST(TextModel, CharactersAreUnicodeIndexesEndingInTheEndMark) {
  auto doc = IDocument::createNew({});
  ITextModel* story = doc->createStory();
  EXPECT_EQ(story->TotalLength(), 1);
  EXPECT_EQ(story->characters().back(), kTextChar_EndOfStory);
  ASSERT_EQ(story->Insert(0, "Grüße\r€"), kSuccess);
  EXPECT_EQ(story->TotalLength(), 8);
  EXPECT_EQ(story->text(), "Grüße\r€");
  EXPECT_EQ(story->textRange(2, 3), "üße");
  EXPECT_NE(story->Insert(8, "x"), kSuccess) << "nothing after the end mark";
  EXPECT_NE(story->Delete(5, 3), kSuccess) << "the end mark stays";
  ASSERT_EQ(story->Delete(5, 2), kSuccess);
  EXPECT_EQ(story->text(), "Grüße");
  // Broken UTF-8 becomes replacement characters, never a crash.
  EXPECT_EQ(utf8ToUtf32("a\xC3"), (std::u32string{U'a', 0xFFFD}));
  EXPECT_EQ(utf8ToUtf32("\xED\xA0\x80"), (std::u32string{0xFFFD, 0xFFFD, 0xFFFD}));
  EXPECT_EQ(utf32ToUtf8(utf8ToUtf32("Ωmega 𝄞")), "Ωmega 𝄞");
}

TEST(TextModel, RunQueriesAndRangeApplication) {
  auto doc = IDocument::createNew({});
  ITextModel* story = doc->createStory();
  story->Insert(0, "0123456789");
  const UID black = doc->blackSwatch(), paper = doc->paperSwatch();

  // Without any value the whole story is one run without a value.
  auto run = story->QueryRun(AttributeClass::kTextColor, 3);
  ASSERT_TRUE(run);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(run->value));
  EXPECT_EQ(run->length, 8);

  ASSERT_EQ(story->ApplyAttributes(0, 10, Values{{AttributeClass::kTextColor, black}}), kSuccess);
  ASSERT_EQ(story->ApplyAttributes(
                3, 4, Values{{AttributeClass::kTextColor, paper}, {AttributeClass::kTextTint, 40.0}}),
            kSuccess);
  run = story->QueryRun(AttributeClass::kTextColor, 0);
  EXPECT_EQ(std::get<UID>(run->value), black);
  EXPECT_EQ(run->length, 3);
  run = story->QueryRun(AttributeClass::kTextColor, 3);
  EXPECT_EQ(std::get<UID>(run->value), paper);
  EXPECT_EQ(run->length, 4);
  // Asked in the middle, a run answers from there to its end.
  run = story->QueryRun(AttributeClass::kTextColor, 5);
  EXPECT_EQ(run->length, 2);
  run = story->QueryRun(AttributeClass::kTextColor, 7);
  EXPECT_EQ(std::get<UID>(run->value), black);
  EXPECT_EQ(run->length, 3);
  run = story->QueryRun(AttributeClass::kTextTint, 0);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(run->value));
  EXPECT_EQ(run->length, 3);
  EXPECT_EQ(std::get<double>(story->QueryRun(AttributeClass::kTextTint, 3)->value), 40.0);
  EXPECT_FALSE(story->QueryRun(AttributeClass::kTextColor, 11));
  EXPECT_FALSE(story->QueryRun(AttributeClass::kTextColor, -1));

  // Walking runs covers the text exactly once.
  int covered = 0;
  for (int pos = 0; pos < story->TotalLength() - 1;) {
    const int length = story->QueryRun(AttributeClass::kTextColor, pos)->length;
    covered += std::min(length, story->TotalLength() - 1 - pos);
    pos += length;
  }
  EXPECT_EQ(covered, 10);

  // Equal neighbours merge again.
  story->ApplyAttributes(3, 4, Values{{AttributeClass::kTextColor, black}});
  EXPECT_EQ(story->QueryRun(AttributeClass::kTextColor, 0)->length, 10)
      << "the end mark was not in the range";

  // Inserted text takes the attributes of the character before it.
  story->Insert(5, "ab");
  EXPECT_EQ(std::get<double>(story->QueryRun(AttributeClass::kTextTint, 5)->value), 40.0);
  EXPECT_EQ(story->QueryRun(AttributeClass::kTextTint, 3)->length, 6);
  story->Delete(2, 6);
  EXPECT_EQ(story->text(), "016789");
  EXPECT_EQ(std::get<double>(story->QueryRun(AttributeClass::kTextTint, 2)->value), 40.0);
  EXPECT_EQ(story->QueryRun(AttributeClass::kTextTint, 2)->length, 1);
  EXPECT_NE(story->ApplyAttributes(3, 10, Values{{AttributeClass::kTextFlag, true}}), kSuccess);
  EXPECT_NE(story->ApplyAttributes(0, 1, Values{{AttributeClass::kTextColor, std::string("Black")}}),
            kSuccess)
      << "each class takes its own kind of value";
}

// Random edits of a run list against one value per character.
TEST(TextModel, RunListAgreesWithAValuePerCharacter) {
  std::mt19937 random(20261207);
  auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
  auto value = [](int v) { return v < 0 ? AttributeValue() : AttributeValue(double(v)); };
  RunList list;
  std::vector<int> reference;
  for (int step = 0; step < 3000; ++step) {
    const int total = static_cast<int>(reference.size());
    const int op = total > 150 ? pick(1, 2) : pick(0, 3);
    if (op == 0 || op == 3) {
      // New characters take the value before them (after them at 0; none in an empty list).
      const int at = pick(0, total), count = pick(1, 5);
      const int v = total == 0 ? -1 : reference[static_cast<std::size_t>(at > 0 ? at - 1 : 0)];
      list.insert(at, count);
      reference.insert(reference.begin() + at, static_cast<std::size_t>(count), v);
    } else if (op == 1) {
      const int at = pick(-2, total + 2), count = pick(-1, 20), v = pick(-1, 2);
      list.assign(at, count, value(v));
      const int from = std::clamp(at, 0, total), to = std::clamp(from + std::max(count, 0), from, total);
      std::fill(reference.begin() + from, reference.begin() + to, v);
    } else {
      const int at = pick(0, total), count = pick(0, total > 100 ? 40 : 8);
      list.erase(at, count);
      reference.erase(reference.begin() + at, reference.begin() + std::min(total, at + count));
    }
    ASSERT_EQ(list.totalLength(), static_cast<int>(reference.size())) << "step " << step;
    std::vector<int> expanded;
    const RunList::Run* before = nullptr;
    for (const RunList::Run& r : list.runs()) {
      ASSERT_GT(r.length, 0) << "step " << step;
      if (before) {
        ASSERT_NE(before->value, r.value) << "neighbours with one value are one run, step " << step;
      }
      before = &r;
      const int v = std::holds_alternative<double>(r.value) ? static_cast<int>(std::get<double>(r.value)) : -1;
      expanded.insert(expanded.end(), static_cast<std::size_t>(r.length), v);
    }
    ASSERT_EQ(expanded, reference) << "step " << step;
    if (!reference.empty()) {
      const int at = pick(0, static_cast<int>(reference.size()) - 1);
      int end = at;
      while (end < static_cast<int>(reference.size()) && reference[end] == reference[at]) ++end;
      const auto run = list.runAt(at);
      ASSERT_TRUE(run);
      EXPECT_EQ(run->value, value(reference[at]));
      EXPECT_EQ(run->start, at);
      EXPECT_EQ(run->length, end - at);
    }
    EXPECT_FALSE(list.runAt(static_cast<int>(reference.size())));
    EXPECT_FALSE(list.runAt(-1));
  }
}

TEST(TextModel, OwnedItemsMoveWithTheText) {
  auto doc = IDocument::createNew({});
  const UID layer = test::spreadLayer(*doc);
  ITextModel* story = doc->createStory();
  story->Insert(0, "abcdef");
  SplineItem* frame = doc->createRectangle(layer, {0, 0, 10, 10});
  InlineItem* inl = doc->anchorItem(story->GetUID(), 3, frame->GetUID());
  ASSERT_TRUE(inl);
  EXPECT_EQ(frame->GetParentUID(), inl->GetUID());
  EXPECT_EQ(story->characters()[3], kTextChar_ObjectReplacement);
  story->Insert(0, "xy");
  ASSERT_EQ(story->ownedItems().count(5), 1u);
  // Plain text can't forge an anchor.
  story->Insert(0, "\xEF\xBF\xBC");
  EXPECT_NE(story->characters()[0], kTextChar_ObjectReplacement);
  std::vector<UID> removed;
  story->Delete(0, 7, &removed);
  EXPECT_EQ(removed, std::vector<UID>{inl->GetUID()});
  EXPECT_TRUE(story->ownedItems().empty());
}

TEST(TextModel, FrameListFollowsThreadsAndColumns) {
  auto doc = IDocument::createNew({});
  IDataBase* db = doc->GetDocDataBase();
  const UID layer = test::spreadLayer(*doc);
  SplineItem* a = doc->createRectangle(layer, {0, 0, 100, 100});
  SplineItem* b = doc->createRectangle(layer, {0, 200, 100, 300});
  SplineItem* c = doc->createRectangle(layer, {0, 400, 100, 500});
  MultiColumnItem* ma = nullptr;
  ASSERT_EQ(doc->makeTextFrame(a->GetUID(), kInvalidUID, &ma), kSuccess);
  ASSERT_EQ(doc->makeTextFrame(b->GetUID()), kSuccess);
  ASSERT_EQ(doc->makeTextFrame(c->GetUID()), kSuccess);
  ITextModel* story = doc->story(ma->storyUID());
  story->Insert(0, "Hello");
  doc->story(db->instantiate<MultiColumnItem>(c->textContentUID())->storyUID())->Insert(0, " world");
  ASSERT_EQ(doc->linkTextFrames(a->GetUID(), c->GetUID()), kSuccess);
  ASSERT_EQ(doc->linkTextFrames(a->GetUID(), b->GetUID()), kSuccess);
  EXPECT_EQ(story->text(), "Hello world") << "the second frame's text joins the thread";
  EXPECT_EQ(doc->storyList().size(), 1u) << "stories left without frames go";

  auto* mb = db->instantiate<MultiColumnItem>(b->textContentUID());
  TextFrameSettings two = mb->settings();
  two.columnCount = 2;
  ASSERT_EQ(mb->setSettings(two), kSuccess);
  const std::vector<UID> columns = story->frameList();
  ASSERT_EQ(columns.size(), 4u);
  // The page item showing a column is the column's grandparent; thread order a, b, b, c.
  std::vector<UID> items;
  for (UID column : columns)
    items.push_back(
        db->instantiate<IHierarchy>(db->instantiate<TextColumn>(column)->GetParentUID())->GetParentUID());
  EXPECT_EQ(items, (std::vector<UID>{a->GetUID(), b->GetUID(), b->GetUID(), c->GetUID()}));
  // Until composition the first column shows the whole story.
  auto* first = db->instantiate<TextColumn>(columns[0]);
  EXPECT_EQ(first->TextStart(), 0);
  EXPECT_EQ(first->TextSpan(), story->TotalLength());
  EXPECT_EQ(db->instantiate<TextColumn>(columns[1])->TextSpan(), 0);
  two.columnCount = 0;
  EXPECT_NE(mb->setSettings(two), kSuccess);
}

TEST(UsedFonts, ListsFamiliesAndFindsFilesThroughFontconfig) {
  auto doc = IDocument::createNew({});
  ITextModel* story = doc->createStory();
  story->Insert(0, "abcdef");
  story->ApplyAttributes(0, 3,
                         Values{{AttributeClass::kFontFamily, std::string("DejaVu Sans")},
                                {AttributeClass::kFontStyle, std::string("Bold")}});
  story->ApplyAttributes(3, 3, Values{{AttributeClass::kFontFamily, std::string("Korvex No Such Family")}});
  doc->GetDocDataBase()->SetModified(false);
  const IUsedFontList fonts = doc->usedFontList();
  ASSERT_EQ(fonts.GetFontCount(), 2);
  EXPECT_EQ(fonts.fonts()[0].family, "DejaVu Sans");
  EXPECT_EQ(fonts.fonts()[0].styles, std::set<std::string>{"Bold"});
  const UID family = fonts.fonts()[0].uid;
  ASSERT_TRUE(doc->GetDocDataBase()->instantiate<FontFamily>(family));
  EXPECT_EQ(doc->GetDocDataBase()->instantiate<FontFamily>(family)->name(), "DejaVu Sans");
  EXPECT_EQ(doc->usedFontList().fonts()[0].uid, family) << "the same family keeps its UID";
  EXPECT_FALSE(doc->GetDocDataBase()->IsModified()) << "listing fonts is no change";
  const auto missing = fonts.missingFonts();
  ASSERT_FALSE(missing.empty());
  EXPECT_EQ(missing.back(), "Korvex No Such Family Regular");
  if (fontIsInstalled("DejaVu Sans", "Bold")) {
    const auto file = fontFilePath("DejaVu Sans", "Bold");
    ASSERT_TRUE(file);
    EXPECT_NE(file->find("DejaVuSans-Bold"), std::string::npos);
    EXPECT_EQ(missing.size(), 1u);
  }
  EXPECT_FALSE(fontFilePath("Korvex No Such Family", ""));
}

}  // namespace
}  // namespace korvex
