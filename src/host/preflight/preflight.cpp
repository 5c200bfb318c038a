#include "host/preflight/preflight.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

#include "host/document.h"
#include "host/used_fonts.h"

namespace korvex {

namespace {

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

class Checker {
 public:
  Checker(const IDocument& document, const PreflightProfile& profile, const OversetProbe& overset)
      : doc_(document), db_(*document.GetDocDataBase()), profile_(profile), overset_(overset) {}

  std::vector<PreflightError> run() {
    if (profile_.missingLinks || profile_.modifiedLinks) links();
    if (profile_.undrawableLinks) undrawableLinks();
    if (profile_.missingFonts) fonts();
    if (profile_.oversetText) overset();
    if (profile_.minImageResolution > 0) imageResolution();
    if (!profile_.allowRGB || !profile_.allowLab || !profile_.allowSpot) colours();
    if (profile_.minStrokeWeight > 0) strokes();
    return std::move(errors_);
  }

 private:
  void add(const char* rule, UID item, std::string description) {
    errors_.push_back({rule, pageNumber(item), item, std::move(description)});
  }

  int pageNumber(UID item) const {
    if (item == kInvalidUID) return 0;
    const UID page = doc_.pageOf(item);
    return page == kInvalidUID ? 0 : doc_.pageIndex(page) + 1;
  }

  // The frame that holds placed content, or the item itself.
  UID frameOf(UID content) const {
    auto* node = db_.instantiate<IHierarchy>(content);
    if (node && dynamic_cast<const PlacedContent*>(node) && node->GetParentUID() != kInvalidUID)
      return node->GetParentUID();
    return content;
  }

  void links() {
    for (UID uid : doc_.linkList()) {
      const ILink* link = db_.instantiate<ILink>(uid);
      if (!link) continue;
      const LinkResource* resource = link->resource();
      const std::string path = resource ? resource->path() : std::string();
      const std::string name = std::filesystem::path(path).filename().string();
      switch (link->GetResourceModificationState()) {
        case ILink::kResourceMissing:
          if (profile_.missingLinks)
            add(kRuleMissingLinks, frameOf(link->GetObject()), "Missing link: " + path);
          break;
        case ILink::kResourceModified:
          if (profile_.modifiedLinks)
            add(kRuleModifiedLinks, frameOf(link->GetObject()), "Modified link: " + path);
          break;
        case ILink::kResourceNormal: break;
      }
    }
  }

  void undrawableLinks() {
    for (UID uid : doc_.linkList()) {
      const ILink* link = db_.instantiate<ILink>(uid);
      if (!link) continue;
      if (auto why = link->undrawableReason())
        add(kRuleUndrawableLinks, frameOf(link->GetObject()),
            "Link can't be drawn: " + link->resource()->path() + " (" + *why + ")");
    }
  }

  void fonts() {
    const IUsedFontList used = doc_.usedFontList();
    for (const UsedFont& font : used.fonts())
      for (const std::string& style : font.styles)
        if (!fontIsInstalled(font.family, style))
          add(kRuleMissingFonts, firstFrameUsing(font.family), "Missing font: " + font.family + " " + style);
  }

  // The first frame of the first story set in the family; none when only styles use it.
  UID firstFrameUsing(const std::string& family) const {
    for (UID storyUID : doc_.storyList()) {
      const ITextModel* story = doc_.story(storyUID);
      if (!story || story->threadedFrames().empty()) continue;
      auto runs = story->attributeRuns().find(AttributeClass::kFontFamily);
      if (runs == story->attributeRuns().end()) continue;
      for (const RunList::Run& run : runs->second.runs())
        if (const auto* name = std::get_if<std::string>(&run.value);
            name && *name == family && run.length > 0)
          if (auto* mci = db_.instantiate<IHierarchy>(story->threadedFrames().front()))
            return mci->GetParentUID();
    }
    return kInvalidUID;
  }

  void overset() {
    for (UID storyUID : doc_.storyList()) {
      const ITextModel* story = doc_.story(storyUID);
      if (!story) continue;
      const int start = overset_(doc_, storyUID);
      if (start < 0) continue;
      // The last frame of the thread is where the text runs out.
      UID frame = kInvalidUID;
      if (!story->threadedFrames().empty())
        if (auto* mci = db_.instantiate<IHierarchy>(story->threadedFrames().back()))
          frame = mci->GetParentUID();
      const int hidden = std::max(0, story->TotalLength() - 1 - start);
      add(kRuleOversetText, frame, "Overset text: " + std::to_string(hidden) + " characters do not fit");
    }
  }

  void imageResolution() {
    for (UID uid : doc_.allPageItems()) {
      const auto* content = db_.instantiate<PlacedContent>(uid);
      if (!content || !content->imageAttributes()) continue;
      const ImageAttributes& image = *content->imageAttributes();
      const auto bounds = doc_.pathBounds(uid);
      if (!bounds || bounds->width() <= 0 || bounds->height() <= 0 || image.pixelWidth <= 0) continue;
      // The lower of the two directions: a picture stretched one way is only as sharp as that way.
      const double ppi = std::min(image.pixelWidth / (bounds->width() / 72.0),
                                  image.pixelHeight / (bounds->height() / 72.0));
      if (ppi + 1e-6 >= profile_.minImageResolution) continue;
      std::string file;
      if (const ILink* link = db_.instantiate<ILink>(content->linkUID()))
        if (const LinkResource* r = link->resource())
          file = std::filesystem::path(r->path()).filename().string();
      add(kRuleImageResolution, frameOf(uid),
          "Image resolution " + number(std::floor(ppi)) + " ppi is below " +
              number(profile_.minImageResolution) + " ppi" + (file.empty() ? "" : ": " + file));
    }
  }

  // Why the swatch is not allowed, or empty.
  std::string refused(UID swatchUID) const {
    const Swatch* s = doc_.swatch(swatchUID);
    for (int depth = 0; s && s->kind() == SwatchKind::Tint && depth < 16; ++depth)
      s = doc_.swatch(s->baseSwatch());
    if (!s || s->kind() != SwatchKind::Color || s->model() == ColorModel::Registration) return {};
    const std::string quoted = "\"" + doc_.swatch(swatchUID)->name() + "\"";
    if (s->model() == ColorModel::Spot && !profile_.allowSpot) return quoted + " is a spot colour";
    if (s->space() == ColorSpace::RGB && !profile_.allowRGB) return quoted + " is RGB";
    if (s->space() == ColorSpace::Lab && !profile_.allowLab) return quoted + " is Lab";
    return {};
  }

  void colours() {
    for (UID uid : doc_.allPageItems()) {
      const auto* item = db_.instantiate<PageItem>(uid);
      if (!item) continue;
      const GraphicAttributes& a = item->graphicAttributes();
      if (auto why = refused(a.fillSwatch); !why.empty()) add(kRuleColorModel, uid, "Fill " + why);
      if (a.strokeWeight > 0 && a.strokeSwatch != a.fillSwatch)
        if (auto why = refused(a.strokeSwatch); !why.empty()) add(kRuleColorModel, uid, "Stroke " + why);
    }
    for (UID storyUID : doc_.storyList()) {
      const ITextModel* story = doc_.story(storyUID);
      if (!story) continue;
      auto runs = story->attributeRuns().find(AttributeClass::kTextColor);
      if (runs == story->attributeRuns().end()) continue;
      UID frame = kInvalidUID;
      if (!story->threadedFrames().empty())
        if (auto* mci = db_.instantiate<IHierarchy>(story->threadedFrames().front()))
          frame = mci->GetParentUID();
      std::set<UID> seen;
      for (const RunList::Run& run : runs->second.runs()) {
        const UID* swatch = std::get_if<UID>(&run.value);
        if (!swatch || run.length <= 0 || !seen.insert(*swatch).second) continue;
        if (auto why = refused(*swatch); !why.empty()) add(kRuleColorModel, frame, "Text " + why);
      }
    }
  }

  void strokes() {
    for (UID uid : doc_.allPageItems()) {
      const auto* item = db_.instantiate<PageItem>(uid);
      if (!item) continue;
      const GraphicAttributes& a = item->graphicAttributes();
      if (a.strokeWeight <= 0 || a.strokeWeight >= profile_.minStrokeWeight) continue;
      if (a.strokeSwatch == kInvalidUID || a.strokeSwatch == doc_.noneSwatch()) continue;
      add(kRuleStrokeWeight, uid,
          "Stroke weight " + number(a.strokeWeight) + " pt is below " + number(profile_.minStrokeWeight) +
              " pt");
    }
  }

  const IDocument& doc_;
  const IDataBase& db_;
  const PreflightProfile& profile_;
  const OversetProbe& overset_;
  std::vector<PreflightError> errors_;
};

}  // namespace

int textModelOverset(const IDocument& document, UID storyUID) {
  const ITextModel* story = document.story(storyUID);
  if (!story || story->TotalLength() <= 1) return -1;
  if (story->threadedFrames().empty()) return 0;
  return story->oversetStart().value_or(-1);
}

std::vector<PreflightError> runPreflight(const IDocument& document, const PreflightProfile& profile,
                                         const OversetProbe& overset) {
  const OversetProbe& probe = overset ? overset : OversetProbe(textModelOverset);
  return Checker(document, profile, probe).run();
}

const PreflightProfileList& PreflightService::profiles() {
  if (!profiles_) profiles_ = PreflightProfileList::load();
  return *profiles_;
}

void PreflightService::reload() {
  profiles_.reset();
}

void PreflightService::prepare(const IDocument& document) {
  forget(document);
}

void PreflightService::forget(const IDocument& document) {
  results_.erase(document.GetDocDataBase()->serial());
}

const PreflightService::Stored* PreflightService::current(const IDocument& document) const {
  const IDataBase* db = document.GetDocDataBase();
  auto it = results_.find(db->serial());
  return it != results_.end() && it->second.changes == db->changeCount() ? &it->second : nullptr;
}

ErrorCode PreflightService::assignProfile(IDocument& document, int index) {
  if (index < 0 || index >= profiles().count()) return kInvalidParameterError;
  document.setPreflightProfile(profiles().at(index).name);
  forget(document);
  return kSuccess;
}

const PreflightProfile& PreflightService::profileOf(const IDocument& document) {
  if (const PreflightProfile* p = profiles().find(document.preflightProfile())) return *p;
  return profiles().at(0);
}

ErrorCode PreflightService::process(const IDocument& document) {
  const PreflightProfile& profile = profileOf(document);
  const OversetProbe probe = overset_ ? overset_ : OversetProbe(textModelOverset);
  const IDataBase* db = document.GetDocDataBase();
  results_[db->serial()] = {db->changeCount(), {profile.name, runPreflight(document, profile, probe)}};
  return kSuccess;
}

PreflightState PreflightService::state(const IDocument& document) const {
  return current(document) ? PreflightState::Complete : PreflightState::NotProcessed;
}

std::vector<PreflightResultEntry> PreflightService::aggregatedResults(const IDocument& document) const {
  const Stored* stored = current(document);
  if (!stored) return {};
  return {stored->entry};
}

PreflightService& preflightService(Session& session) {
  if (auto* found = dynamic_cast<PreflightService*>(
          session.services().find(ServiceKind::Preflight, kPreflightServiceName)))
    return *found;
  auto service = std::make_unique<PreflightService>();
  PreflightService* raw = service.get();
  session.services().add(ServiceKind::Preflight, std::move(service));
  return *raw;
}

}  // namespace korvex
