#include <algorithm>

#include "host/document.h"
#include "host/session.h"

namespace korvex {

Swatch* IDocument::swatch(UID uid) const {
  return database_->instantiate<Swatch>(uid);
}

Swatch* IDocument::findSwatch(const std::string& name) const {
  return swatch(swatchNames_.find(swatches_, name, [&](UID uid) -> const std::string* {
    const Swatch* s = swatch(uid);
    return s ? &s->name() : nullptr;
  }));
}

Swatch* IDocument::createColor(const std::string& name, ColorModel model, ColorSpace space,
                               std::vector<double> components, UID uid) {
  if (name.empty() || findSwatch(name) || model == ColorModel::Registration ||
      !validateColorComponents(space, components).empty())
    return nullptr;
  auto* s = uid == kInvalidUID ? database_->create<Swatch>(name, SwatchKind::Color)
                               : database_->createWithUID<Swatch>(uid, name, SwatchKind::Color);
  if (!s) return nullptr;
  s->setColor(model, space, std::move(components));
  swatches_.push_back(s->GetUID());
  touch();
  return s;
}

Swatch* IDocument::createTint(UID base, double percent, const std::string& givenName, UID uid) {
  Swatch* b = swatch(base);
  if (!b || b->kind() != SwatchKind::Color || !(percent >= 0 && percent <= 100)) return nullptr;
  char pct[32];
  std::snprintf(pct, sizeof pct, "%g", percent);
  const std::string name = givenName.empty() ? b->name() + " " + pct + "%" : givenName;
  if (findSwatch(name)) return nullptr;
  auto* s = uid == kInvalidUID ? database_->create<Swatch>(name, SwatchKind::Tint)
                               : database_->createWithUID<Swatch>(uid, name, SwatchKind::Tint);
  if (!s) return nullptr;
  s->setTint(base, percent);
  swatches_.push_back(s->GetUID());
  touch();
  return s;
}

UID IDocument::stockColorUID(int index) {
  const std::vector<StockColor>& stock = stockColors();
  if (index < 0 || index >= static_cast<int>(stock.size())) return kInvalidUID;
  for (UID uid : swatches_)
    if (swatch(uid)->stockIndex() == index) return uid;
  const StockColor& c = stock[static_cast<std::size_t>(index)];
  Swatch* s = findSwatch(c.name);
  if (!s) s = createColor(c.name, ColorModel::Process, ColorSpace::CMYK, c.cmyk);
  if (!s) return kInvalidUID;
  s->setStockIndex(index);
  return s->GetUID();
}

bool IDocument::isSwatchUsed(UID swatchUID) const {
  if (swatchUID == kInvalidUID) return false;
  for (UID s : swatches_)
    if (Swatch* sw = swatch(s); sw && sw->kind() == SwatchKind::Tint && sw->baseSwatch() == swatchUID)
      return true;
  for (UID uid : allPageItems()) {
    const GraphicAttributes& a = item(uid)->graphicAttributes();
    if (a.fillSwatch == swatchUID || a.strokeSwatch == swatchUID) return true;
  }
  for (UID st : stories_)
    if (ITextModel* s = story(st)) {
      auto it = s->attributeRuns().find(AttributeClass::kTextColor);
      if (it != s->attributeRuns().end())
        for (const RunList::Run& r : it->second.runs())
          if (const UID* v = std::get_if<UID>(&r.value); v && *v == swatchUID) return true;
    }
  return false;
}

void IDocument::replaceSwatchUses(UID from, UID to) {
  for (UID uid : allPageItems()) {
    PageItem* it = item(uid);
    GraphicAttributes a = it->graphicAttributes();
    if (a.fillSwatch != from && a.strokeSwatch != from) continue;
    if (a.fillSwatch == from) a.fillSwatch = to;
    if (a.strokeSwatch == from) a.strokeSwatch = to;
    it->setGraphicAttributes(a);
  }
  for (UID st : stories_) {
    ITextModel* s = story(st);
    auto found = s->attributeRuns().find(AttributeClass::kTextColor);
    if (found == s->attributeRuns().end()) continue;
    const std::vector<RunList::Run> runs = found->second.runs();
    int pos = 0;
    for (const RunList::Run& r : runs) {
      if (const UID* v = std::get_if<UID>(&r.value); v && *v == from)
        s->ApplyAttributes(pos, r.length, {{AttributeClass::kTextColor, AttributeValue(to)}});
      pos += r.length;
    }
  }
}

ErrorCode IDocument::deleteSwatch(UID swatchUID, UID replacement) {
  Swatch* s = swatch(swatchUID);
  if (!s) return kObjectNotFoundError;
  if (s->isReserved()) return kInvalidParameterError;
  if (replacement == kInvalidUID) replacement = none_;
  Swatch* r = swatch(replacement);
  if (!r || replacement == swatchUID) return kInvalidParameterError;
  // Tints of the deleted colour become tints of the replacement, or plain uses of it.
  swatchNames_.invalidate();
  const std::vector<UID> all = swatches_;
  for (UID t : all) {
    Swatch* tint = swatch(t);
    if (tint->kind() != SwatchKind::Tint || tint->baseSwatch() != swatchUID) continue;
    if (r->kind() == SwatchKind::Color) {
      tint->setTint(replacement, tint->tintPercent());
    } else {
      replaceSwatchUses(t, replacement);
      swatches_.erase(std::remove(swatches_.begin(), swatches_.end(), t), swatches_.end());
      database_->destroy(t);
    }
  }
  replaceSwatchUses(swatchUID, replacement);
  swatches_.erase(std::remove(swatches_.begin(), swatches_.end(), swatchUID), swatches_.end());
  database_->destroy(swatchUID);
  touch();
  return kSuccess;
}

}  // namespace korvex
