#pragma once

// A document with one story and frames to flow it through, for composer tests.

#include <memory>
#include <string>

#include "host/document.h"
#include "host/host_test_support.h"
#include "host/text_model.h"

namespace korvex::test {

struct TextSetup {
  std::unique_ptr<IDocument> doc = IDocument::createNew({});
  ITextModel* story = doc->createStory();
  UID layer() const { return test::spreadLayer(*doc); }
  MultiColumnItem* frame(const PMRect& r, int columns = 1) {
    SplineItem* f = doc->createRectangle(layer(), r);
    MultiColumnItem* content = nullptr;
    doc->makeTextFrame(f->GetUID(), story->GetUID(), &content);
    TextFrameSettings s = content->settings();
    s.columnCount = columns;
    s.gutter = 10;
    content->setSettings(s);
    return content;
  }
  void text(const std::string& t, const std::string& family = "DejaVu Sans", double size = 10) {
    story->Insert(0, t);
    story->ApplyAttributes(0, story->TotalLength() - 1,
                           {{AttributeClass::kFontFamily, family}, {AttributeClass::kPointSize, size}});
  }
};

}  // namespace korvex::test
