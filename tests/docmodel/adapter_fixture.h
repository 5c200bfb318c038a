#pragma once

// The plug-in's fixture with a builder for page items.

#include <gtest/gtest.h>

#include <vector>

#include "host/document.h"
#include "host/host_test_support.h"
#include "support/plugin_test.h"

namespace korvex::test {

class AdapterTest : public PluginTest {
 protected:
  static UID rect(IDocument& doc, UID parent, PMRect bounds) {
    SplineItem* item = doc.createRectangle(parent, bounds);
    EXPECT_NE(item, nullptr);
    return item ? item->GetUID() : kInvalidUID;
  }
};

// A fixture with one open document whose first content layer takes the items.
class LayoutTest : public AdapterTest {
 protected:
  void openDocument(int pages) {
    doc = newDoc(pages);
    db = doc->GetDocDataBase();
    layer = spreadLayer(*doc);
  }
  UIDRef item(PMRect bounds) { return {db, rect(*doc, layer, bounds)}; }

  IDocument* doc = nullptr;
  IDataBase* db = nullptr;
  UID layer = kInvalidUID;
};

// Collects the UIDs a walk visits; stops at stopAt when it is set.
struct Visits {
  std::vector<UID> uids;
  static constexpr UID kNever = 0xFFFFFFFEu;  // never handed out: the database keeps the top UID free
  UID stopAt = kNever;

  static bool collect(const UIDRef& item, void* data) {
    auto* visits = static_cast<Visits*>(data);
    visits->uids.push_back(item.GetUID());
    return item.GetUID() != visits->stopAt;
  }
};

}  // namespace korvex::test
