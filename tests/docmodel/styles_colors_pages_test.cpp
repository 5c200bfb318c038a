#include "docmodel/styles_colors_pages.h"

#include <gtest/gtest.h>

#include "docmodel/adapter_fixture.h"
#include "docmodel/host_actions.h"
#include "docmodel/my_doc.h"
#include "host/interaction.h"

namespace korvex {
namespace {

class StylesColorsPages : public test::AdapterTest {
 protected:
  void SetUp() override {
    AdapterTest::SetUp();
    doc = newDoc(2);
    db = doc->GetDocDataBase();
  }
  IDocument* doc = nullptr;
  IDataBase* db = nullptr;
};

TEST_F(StylesColorsPages, StyleLookupsAndCreation) {
  MyDoc handle(doc);
  const UID basic = doc->findStyle(StyleKind::Paragraph, "[Basic Paragraph]");
  ASSERT_NE(basic, kInvalidUID);
  EXPECT_EQ(getParaStyle(db, "[Basic Paragraph]"), basic);
  EXPECT_EQ(handle.getParaStyle("[Basic Paragraph]"), basic);
  EXPECT_EQ(getParaStyle(db, "[Basic Table]"), kInvalidUID);  // each group its own names
  EXPECT_EQ(getParaStyle(nullptr, "[Basic Paragraph]"), kInvalidUID);

  const UID body = createParaStyle(doc, "Body", "[Basic Paragraph]");
  ASSERT_NE(body, kInvalidUID);
  EXPECT_EQ(db->instantiate<Style>(body)->basedOn(), basic);
  // An existing style comes back unchanged, whatever it is asked to be based on.
  db->SetModified(false);
  EXPECT_EQ(createParaStyle(doc, "Body", "[No Paragraph Style]"), body);
  EXPECT_EQ(db->instantiate<Style>(body)->basedOn(), basic);
  EXPECT_FALSE(db->IsModified());
  // Based on a missing style: made without a parent.
  const UID loose = createParaStyle(doc, "Loose", "Missing");
  ASSERT_NE(loose, kInvalidUID);
  EXPECT_EQ(db->instantiate<Style>(loose)->basedOn(), kInvalidUID);
  // Can't be made (no name): the parent's UID.
  EXPECT_EQ(createParaStyle(doc, "", "[Basic Paragraph]"), basic);
  EXPECT_EQ(createParaStyle(nullptr, "X", "[Basic Paragraph]"), kInvalidUID);

  ASSERT_EQ(doc->createStyle(StyleKind::Object, "Photo", kInvalidUID), kSuccess);
  EXPECT_EQ(objectStyles(doc),
            (std::vector<std::string>{"[None]", "[Basic Graphics Frame]", "[Basic Text Frame]", "Photo"}));
  EXPECT_TRUE(objectStyles(nullptr).empty());
}

TEST_F(StylesColorsPages, LanguagesComeFromTheSessionWhenMissing) {
  std::unique_ptr<IDocument> empty = IDocument::createEmpty(1);
  empty->addMissingEssentials();
  IDocument* bare = app().adoptDocument(std::move(empty), false);
  ASSERT_EQ(bare->findLanguage("Neutral"), kInvalidUID);
  MyDoc handle(bare);
  const UID neutral = handle.getLanguage(std::nullopt);
  ASSERT_NE(neutral, kInvalidUID);
  EXPECT_EQ(bare->findLanguage("Neutral"), neutral);
  EXPECT_EQ(handle.getLanguage("Neutral"), neutral);
  const std::size_t count = bare->languageList().size();
  EXPECT_EQ(handle.getLanguage("Klingon"), kInvalidUID);
  EXPECT_EQ(bare->languageList().size(), count);
  EXPECT_NE(handle.getLanguage("French"), kInvalidUID);
  EXPECT_EQ(MyDoc().getLanguage("French"), kInvalidUID);
}

TEST_F(StylesColorsPages, ReservedSwatches) {
  EXPECT_TRUE(isNoneColor(db, doc->noneSwatch()));
  EXPECT_TRUE(isBlackColor(db, doc->blackSwatch()));
  EXPECT_FALSE(isNoneColor(db, kInvalidUID));
  EXPECT_FALSE(isBlackColor(nullptr, doc->blackSwatch()));
}

TEST_F(StylesColorsPages, MarginsColumnsAndGrids) {
  Page* page = doc->pageAt(1);
  ASSERT_EQ(page->setMargins(PageMargins{10, 20, 30, 40}), kSuccess);
  const UIDRef pageRef(db, page->GetUID());
  EXPECT_EQ(marginsForPage(pageRef), (PMRect{10, 20, 30, 40}));
  EXPECT_TRUE(marginsForPage(UIDRef(nullptr, page->GetUID())).isNull());
  EXPECT_TRUE(marginsForPage(UIDRef(db, doc->spreadList()[0])).isNull());

  // One column between the margins: one value, the column's right edge.
  const std::vector<float> single = getColWidthsForPage(db, page->GetUID());
  ASSERT_EQ(single.size(), 1u);
  EXPECT_FLOAT_EQ(single[0], static_cast<float>(page->width() - 30));
  ASSERT_EQ(page->setColumns({10, 100, 112, 200, 212, 300}), kSuccess);
  EXPECT_EQ(getColWidthsForPage(db, page->GetUID()), (std::vector<float>{100, 200, 300}));
  EXPECT_TRUE(getColWidthsForPage(nullptr, page->GetUID()).empty());
  EXPECT_TRUE(getColWidthsForPage(db, 999999).empty());
}

TEST_F(StylesColorsPages, HostActionsClassesAndWrap) {
  std::vector<IDocument*> contexts;
  actionManager()->registerAction(
      67880, [&](const ActiveContext& context) { contexts.push_back(context.document); });
  performAction(67880);
  performAction(4711);  // unknown: nothing
  ASSERT_EQ(contexts.size(), 1u);
  EXPECT_EQ(contexts[0], doc);

  const UID frame = rect(*doc, test::spreadLayer(*doc), {0, 0, 10, 10});
  EXPECT_EQ(getBoss(UIDRef(db, frame)), ClassID::kSplineItem);
  EXPECT_EQ(getBoss(doc->GetUIDRef()), ClassID::kDocument);
  EXPECT_EQ(getBoss(UIDRef(db, 999999)), kInvalidClass);
  EXPECT_EQ(getBoss(UIDRef()), kInvalidClass);

  auto* item = db->instantiate<PageItem>(frame);
  TextWrapSettings wrap;
  wrap.mode = TextWrapMode::Contour;
  wrap.offsets = {1, 2, 3, 4};
  wrap.side = 2;
  wrap.contour = 3;
  wrap.inverted = true;
  ASSERT_EQ(item->setTextWrap(wrap), kSuccess);
  EXPECT_EQ(setFrameWrap(UIDRef(db, frame)), kSuccess);
  EXPECT_EQ(item->textWrap().mode, TextWrapMode::NextColumn);
  EXPECT_EQ(item->textWrap().offsets, (PMRect{1, 2, 3, 4}));
  EXPECT_EQ(item->textWrap().side, 0);
  EXPECT_EQ(item->textWrap().contour, 0);
  EXPECT_TRUE(item->textWrap().inverted);
  EXPECT_EQ(setFrameWrap(UIDRef(db, doc->pageAt(0)->GetUID())), -1);

  // Without a front document there is no active context.
  app().closeDocument(doc);
  performAction(67880);
  EXPECT_EQ(contexts.size(), 1u);
}

}  // namespace
}  // namespace korvex
