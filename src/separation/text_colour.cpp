#include "separation/text_colour.h"

#include <algorithm>

#include "docmodel/styles_colors_pages.h"
#include "host/swatch.h"

namespace korvex {

namespace {

// Sets the tint of every tint run inside (start, length) to its own tint times factor / 100.
void scaleTints(ITextModel* story, int start, int length, double factor) {
  for (int at = start; at < start + length;) {
    auto run = story->QueryRun(AttributeClass::kTextTint, at);
    if (!run || run->length <= 0) break;
    const int span = std::min(run->length, start + length - at);
    story->ApplyAttributes(at, span,
                           {{AttributeClass::kTextTint, AttributeValue(runTint(run->value) * factor / 100)}});
    at += span;
  }
}

void listOnce(std::vector<UID>* list, UID swatch) {
  if (list && std::find(list->begin(), list->end(), swatch) == list->end()) list->push_back(swatch);
}

}  // namespace

TextRunContext textRunContext(IDataBase* database, std::vector<UID>* colorList) {
  TextRunContext context;
  context.database = database;
  context.black = blackSwatchUID(database);
  context.paper = paperSwatchUID(database);
  context.colorList = colorList;
  return context;
}

void enumTextRuns(ITextModel* story, AttributeClass attribute, TextRunTest test, TextRunContext& context) {
  if (!story || !test) return;
  context.strand = story;
  const int end = story->TotalLength() - 1;
  for (int position = 0; position < end;) {
    auto run = story->QueryRun(attribute, position);
    if (!run || run->length <= 0) return;
    // The end mark is never part of a run handed on.
    const int length = std::min(run->length, end - position);
    if (!test(story, position, length, run->value, context)) return;
    position += length;
  }
}

UID runColor(const AttributeValue& attribute, const TextRunContext& context) {
  if (const UID* uid = std::get_if<UID>(&attribute)) return *uid;
  return context.black;
}

double runTint(const AttributeValue& attribute) {
  const double* tint = std::get_if<double>(&attribute);
  return tint && *tint >= 0 ? *tint : 100;
}

std::optional<double> blackTintOfSwatch(IDataBase* database, UID swatch) {
  const UID black = blackSwatchUID(database);
  if (auto tint = tintOfSwatch(database, swatch)) {
    if (tint->first == black) return tint->second;
    return std::nullopt;
  }
  const auto data = colorDataForSwatch(database, swatch);
  if (data && data->space == static_cast<int>(ColorSpace::CMYK) && data->components.size() == 4 &&
      data->components[0] == 0 && data->components[1] == 0 && data->components[2] == 0)
    return data->components[3] * 100;
  return std::nullopt;
}

bool normalizeGreyRun(ITextModel* story, int start, int length, const AttributeValue& attribute,
                      TextRunContext& context) {
  const UID color = runColor(attribute, context);
  // Paper is white text, not a grey: the white-text rules decide it.
  if (color == context.black || color == context.paper || length <= 0) return true;
  std::u32string chars =
      story->characters().substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
  std::erase_if(chars, [](char32_t c) { return c == U'\t' || c == U'\r' || c == U'\n' || c == U' '; });
  if (chars.empty()) {
    story->ApplyAttributes(start, length, {{AttributeClass::kTextColor, AttributeValue(context.black)}});
    return true;
  }
  // Grey text becomes Black at the grey's strength times the tint it had.
  if (const auto grey = blackTintOfSwatch(context.database, color)) {
    story->ApplyAttributes(start, length, {{AttributeClass::kTextColor, AttributeValue(context.black)}});
    scaleTints(story, start, length, *grey);
    listOnce(context.colorList, color);
  }
  return true;
}

bool isBlackRun(ITextModel*, int, int, const AttributeValue& attribute, TextRunContext& context) {
  const UID color = runColor(attribute, context);
  if (color == context.black || swatchName(context.database, color) == "Black") return true;
  context.flag = false;
  return false;
}

bool isTintBelow100Run(ITextModel*, int, int, const AttributeValue& attribute, TextRunContext& context) {
  if (runTint(attribute) >= 100) return true;
  context.flag = true;
  return false;
}

bool flagTintedBlackRun(ITextModel* story, int start, int length, const AttributeValue& attribute,
                        TextRunContext& context) {
  if (length <= 0 || runColor(attribute, context) != context.black) return true;
  for (int at = start; at < start + length;) {
    auto run = context.strand->QueryRun(AttributeClass::kTextTint, at);
    if (!run || run->length == 0) break;
    if (run->length < 0) {
      if (runTint(run->value) < 100)
        story->ApplyAttributes(at, story->TotalLength() - 1 - at,
                               {{AttributeClass::kTextFlag, AttributeValue(true)}});
      break;
    }
    const int span = std::min(run->length, start + length - at);
    if (runTint(run->value) < 100)
      story->ApplyAttributes(at, span, {{AttributeClass::kTextFlag, AttributeValue(true)}});
    at += span;
  }
  return true;
}

bool isPaperRun(ITextModel*, int, int, const AttributeValue& attribute, TextRunContext& context) {
  if (runColor(attribute, context) != context.paper) return true;
  context.flag = true;
  return false;
}

bool isZeroTintRun(ITextModel*, int, int, const AttributeValue& attribute, TextRunContext& context) {
  if (runTint(attribute) != 0) return true;
  context.flag = true;
  return false;
}

}  // namespace korvex
