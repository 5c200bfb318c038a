#include "host/find_change.h"

#include <gtest/gtest.h>

#include "host/document.h"
#include "host_test_support.h"

namespace korvex {
namespace {

struct Doc {
  std::unique_ptr<IDocument> doc = IDocument::createNew(test::setup(1));
  ITextModel* story(const std::string& text) {
    ITextModel* s = doc->createStory();
    s->Insert(0, text);
    return s;
  }
};

// Runs one pair; the count, or -1 when a setting was refused.
int changeAll(IDocument& doc, int mode, const std::string& find, const std::string& change) {
  FindChangeQuery query;
  if (query.setSearchMode(mode) || query.setFindText(find) || query.setChangeText(change) ||
      query.setScope(kFindChangeScopeDocument) || query.setIncludeMasterPages(mode == 1))
    return -1;
  int count = 0;
  if (query.changeAll(doc, &count) != kSuccess) return -1;
  return count;
}

TEST(FindChange, GrepWorksOnParagraphsGroupsAndUnicodeAcrossEveryStory) {
  Doc d;
  ITextModel* a = d.story("Hallo  Welt .\rzweite  Zeile!\r\xC3\x84pfel und \xC3\x96l");
  ITextModel* b = d.story("noch  einmal ,");
  EXPECT_EQ(changeAll(*d.doc, 1, " {2,}", " "), 3);
  EXPECT_EQ(changeAll(*d.doc, 1, " +([.,;:!?])", "$1"), 2);
  EXPECT_EQ(a->text(), "Hallo Welt.\rzweite Zeile!\r\xC3\x84pfel und \xC3\x96l");
  EXPECT_EQ(b->text(), "noch einmal,");
  // ^ and $ at every paragraph; $0 is the match; \w and case folding know umlauts.
  EXPECT_EQ(changeAll(*d.doc, 1, "^(\\w+)", "[$1]"), 4);
  EXPECT_EQ(a->text(), "[Hallo] Welt.\r[zweite] Zeile!\r[\xC3\x84pfel] und \xC3\x96l");
  EXPECT_EQ(changeAll(*d.doc, 1, "(?i)\xC3\xB6l$", "<$0>"), 1);
  EXPECT_EQ(a->text(), "[Hallo] Welt.\r[zweite] Zeile!\r[\xC3\x84pfel] und <\xC3\x96l>");
  // Nothing found, an invalid pattern, an empty one: nothing changes.
  EXPECT_EQ(changeAll(*d.doc, 1, "xyz", "-"), 0);
  EXPECT_EQ(changeAll(*d.doc, 1, "([a-", "-"), -1);
  EXPECT_EQ(changeAll(*d.doc, 1, "", "-"), -1);
  FindChangeQuery bad;
  EXPECT_EQ(bad.setSearchMode(1), kSuccess);
  EXPECT_NE(bad.setFindText("(unclosed"), kSuccess);
  EXPECT_NE(bad.errorMessage().find("missing closing parenthesis"), std::string::npos) << bad.errorMessage();
  int count = 7;
  EXPECT_NE(bad.changeAll(*d.doc, &count), kSuccess);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(b->text(), "[noch] einmal,");
}

TEST(FindChange, EmptyMatchesAdvanceAndAnchoredItemsStay) {
  Doc d;
  ITextModel* s = d.story("axb");
  EXPECT_EQ(changeAll(*d.doc, 1, "x*", "-"), 4);  // before a, x, before b, at the end
  EXPECT_EQ(s->text(), "-a--b-");
  EXPECT_EQ(changeAll(*d.doc, 1, "", "-"), -1);

  ITextModel* anchored = d.story("ab");
  UID layer = test::spreadLayer(*d.doc);
  SplineItem* frame = d.doc->createRectangle(layer, {0, 0, 10, 10});
  ASSERT_TRUE(d.doc->anchorItem(anchored->GetUID(), 1, frame->GetUID()));
  ASSERT_EQ(anchored->characters(), U"a\uFFFCb\u0003");
  // "a.b" would take the anchor with it: skipped. The letters alone change.
  EXPECT_EQ(changeAll(*d.doc, 1, "a.b", "X"), 0);
  EXPECT_EQ(changeAll(*d.doc, 0, "b", "B"), 2);  // here and in the first story
  EXPECT_EQ(anchored->characters(), U"a\uFFFCB\u0003");
  EXPECT_EQ(anchored->ownedItems().size(), 1u);
  // Change text can't make anchors.
  FindChangeQuery query;
  EXPECT_NE(query.setChangeText("\xEF\xBF\xBC"), kSuccess);
  EXPECT_NE(query.setScope(1), kSuccess);
  EXPECT_NE(query.setSearchMode(2), kSuccess);
}

TEST(FindChange, LiteralTextIsCaseSensitiveAndTakesPatternCharactersAsThemselves) {
  Doc d;
  ITextModel* s = d.story("Preis: 1.50 $1 preis PREIS (a+b)");
  d.doc->GetDocDataBase()->SetModified(false);
  EXPECT_EQ(changeAll(*d.doc, 0, "Preis", "Kosten"), 1);
  EXPECT_EQ(changeAll(*d.doc, 0, "(a+b)", "$0"), 1);  // no groups in literal text
  EXPECT_EQ(changeAll(*d.doc, 0, ".", ","), 1);
  EXPECT_EQ(s->text(), "Kosten: 1,50 $1 preis PREIS $0");
  EXPECT_TRUE(d.doc->GetDocDataBase()->IsModified());
}

TEST(Layers, TheLastContentLayerStaysAndLayersMoveWithTheirSpreadLayers) {
  auto doc = IDocument::createNew(test::setup(2, {"A", "B", "C", "D"}));
  auto names = [&] {
    std::string out;
    for (int i = 1; i < doc->GetLayerCount(); ++i) out += doc->layerAt(i)->GetName();
    return out;
  };
  auto uid = [&](const char* name) { return doc->findLayer(name)->GetUID(); };
  SplineItem* item = doc->createRectangle(doc->spreadAt(1)->QueryLayer(uid("D"))->GetUID(), {0, 0, 5, 5});
  ASSERT_EQ(doc->moveLayers({uid("D"), uid("C")}, 2), kSuccess);
  EXPECT_EQ(names(), "ADCB");
  for (UID s : doc->spreadList()) {
    auto* spread = doc->GetDocDataBase()->instantiate<ISpread>(s);
    for (int i = 0; i < doc->GetLayerCount(); ++i)
      EXPECT_EQ(doc->GetDocDataBase()->instantiate<ISpreadLayer>(spread->GetChildUID(i))->documentLayerUID(),
                doc->layerList()[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(doc->GetDocDataBase()->instantiate<ISpreadLayer>(item->GetParentUID())->documentLayerUID(),
            uid("D"));
  EXPECT_EQ(doc->moveLayers({uid("A")}, 99), kSuccess);
  EXPECT_EQ(names(), "DCBA");
  EXPECT_NE(doc->moveLayers({doc->layerList()[0]}, 1), kSuccess);
  EXPECT_NE(doc->moveLayers({uid("A"), uid("A")}, 1), kSuccess);
  EXPECT_NE(doc->moveLayers({uid("A")}, 0), kSuccess);
  EXPECT_EQ(names(), "DCBA");

  for (const char* name : {"A", "B", "C"}) ASSERT_EQ(doc->deleteLayer(uid(name)), kSuccess);
  EXPECT_EQ(doc->deleteLayer(uid("D")), kLastLayerError);
  EXPECT_EQ(names(), "D");
}

}  // namespace
}  // namespace korvex
