#include <algorithm>
#include <unordered_map>
#include <unordered_set>

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

ErrorCode IDocument::deleteSwatches(const std::vector<SwatchDeletion>& list, UID replacement, int* skipped) {
  if (skipped) *skipped = 0;
  if (replacement == kInvalidUID) replacement = none_;
  Swatch* r = swatch(replacement);
  if (!r) return kInvalidParameterError;
  const bool tinted = r->kind() == SwatchKind::Color;
  // Each deleted swatch -> the tint of the replacement it stood for.
  std::unordered_map<UID, PMReal> going;
  for (const SwatchDeletion& d : list) {
    Swatch* s = swatch(d.swatch);
    if (!s || s->isReserved() || d.swatch == replacement || going.contains(d.swatch)) {
      if (skipped) ++*skipped;
      continue;
    }
    going.emplace(d.swatch, std::clamp<PMReal>(d.tint, 0, 100));
  }
  if (going.empty()) return kSuccess;
  // Tints based on a deleted colour become tints of the replacement at the
  // product of both strengths, or go too when the replacement has no colour.
  for (UID t : swatches_) {
    Swatch* tint = swatch(t);
    if (tint->kind() != SwatchKind::Tint || going.contains(t)) continue;
    auto base = going.find(tint->baseSwatch());
    if (base == going.end()) continue;
    if (tinted)
      tint->setTint(replacement, tint->tintPercent() * base->second / 100);
    else
      going.emplace(t, 100);
  }
  auto scaled = [&](PMReal factor, std::optional<PMReal> own) -> std::optional<PMReal> {
    if (!tinted || factor >= 100) return own;
    return factor * own.value_or(100) / 100;
  };
  for (UID uid : allPageItems()) {
    PageItem* it = item(uid);
    GraphicAttributes a = it->graphicAttributes();
    auto fill = going.find(a.fillSwatch);
    auto stroke = going.find(a.strokeSwatch);
    if (fill == going.end() && stroke == going.end()) continue;
    if (fill != going.end()) {
      a.fillSwatch = replacement;
      a.fillTint = scaled(fill->second, a.fillTint);
    }
    if (stroke != going.end()) {
      a.strokeSwatch = replacement;
      a.strokeTint = scaled(stroke->second, a.strokeTint);
    }
    it->setGraphicAttributes(a);
  }
  for (UID st : stories_) {
    ITextModel* s = story(st);
    auto found = s->attributeRuns().find(AttributeClass::kTextColor);
    if (found == s->attributeRuns().end()) continue;
    const std::vector<RunList::Run> runs = found->second.runs();
    int pos = 0;
    for (const RunList::Run& run : runs) {
      const UID* v = std::get_if<UID>(&run.value);
      auto hit = v ? going.find(*v) : going.end();
      if (hit != going.end()) {
        s->ApplyAttributes(pos, run.length, {{AttributeClass::kTextColor, AttributeValue(replacement)}});
        // The tint runs inside the colour run, each scaled on its own.
        for (int at = pos; tinted && hit->second < 100 && at < pos + run.length;) {
          auto tintRun = s->QueryRun(AttributeClass::kTextTint, at);
          if (!tintRun || tintRun->length <= 0) break;
          const int length = std::min(tintRun->length, pos + run.length - at);
          const double* own = std::get_if<double>(&tintRun->value);
          const double tint = hit->second * (own && *own >= 0 ? *own : 100) / 100;
          s->ApplyAttributes(at, length, {{AttributeClass::kTextTint, AttributeValue(tint)}});
          at += length;
        }
      }
      pos += run.length;
    }
  }
  swatchNames_.invalidate();
  std::erase_if(swatches_, [&](UID uid) { return going.contains(uid); });
  for (const auto& [uid, tint] : going) database_->destroy(uid);
  touch();
  return kSuccess;
}

}  // namespace korvex
