#include "host/text_layout.h"

namespace korvex {

namespace {
std::unique_ptr<TextLayout>& installed() {
  static std::unique_ptr<TextLayout> layout;
  return layout;
}
}  // namespace

std::unique_ptr<TextLayout> setTextLayout(std::unique_ptr<TextLayout> layout) {
  std::swap(installed(), layout);
  return layout;
}

TextLayout* textLayout() { return installed().get(); }

}  // namespace korvex
