#pragma once

// The document: the root object of its database, with the layer list, the
// spreads and pages, page items, stories, links, swatches, styles, languages,
// grids and XML structure. Every change is an operation that returns an error
// code (0 success) and sets the database's modified flag.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/database.h"
#include "host/layout.h"
#include "host/link.h"
#include "host/name_index.h"
#include "host/page_item.h"
#include "host/styles.h"
#include "host/swatch.h"
#include "host/text_model.h"

namespace korvex {

class IUsedFontList;
namespace idml {
struct SourcePackage;
}

struct DocumentSetup {
  int pages = 1;
  PMReal pageWidth = 595.2756;  // A4
  PMReal pageHeight = 841.8898;
  bool facingPages = false;
  std::vector<std::string> layers{"Layer 1"};
  PageMargins margins;
};

// Room between spreads on the pasteboard.
inline constexpr PMReal kSpreadGap = 36;
// How far left of the document's spreads the master spreads lie.
inline constexpr PMReal kMasterPasteboardOffset = 100000;

class IDocument : public HostObject {
 public:
  // A document with only what every document has: the reserved swatches,
  // default styles, the pages layer. No content layer, no spread.
  static std::unique_ptr<IDocument> createBare(UID documentUID = 1);
  // Nothing at all, not even the pages layer: the file loader's starting point.
  static std::unique_ptr<IDocument> createEmpty(UID documentUID);
  IDocumentLayer* createPagesLayer(UID uid = kInvalidUID);
  enum class ReservedSwatch { None, Registration, Paper, Black };
  Swatch* createReservedSwatch(ReservedSwatch which, UID uid = kInvalidUID);
  // Adds what every document must have and is still missing (pages layer,
  // reserved swatches, default styles).
  void addMissingEssentials();
  // A blank document with the given pages and layers.
  static std::unique_ptr<IDocument> createNew(const DocumentSetup& setup);

  ClassID GetClass() const override { return ClassID::kDocument; }
  IDataBase* GetDocDataBase() const { return database_.get(); }
  UIDRef GetUIDRef() const { return {database_.get(), GetUID()}; }

  const std::string& GetName() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  bool facingPages() const { return facingPages_; }
  ErrorCode setFacingPages(bool facing);
  PMReal defaultPageWidth() const { return pageWidth_; }
  PMReal defaultPageHeight() const { return pageHeight_; }
  ErrorCode setDefaultPageSize(PMReal width, PMReal height);

  // Layers. Index 0 is the pages layer.
  const std::vector<UID>& layerList() const { return layers_; }
  int GetLayerCount() const { return static_cast<int>(layers_.size()); }
  IDocumentLayer* layerAt(int index) const;
  IDocumentLayer* findLayer(const std::string& name) const;
  int layerIndex(UID layer) const;
  IDocumentLayer* createLayer(const std::string& name, int index = -1, UID uid = kInvalidUID);
  // Deletes the layer with all its page items; the pages layer can't go, nor
  // the last content layer (kLastLayerError): a document always has one.
  ErrorCode deleteLayer(UID layer);
  // Moves the content layers, in the given order, to the place of the entry
  // at index (counted in the list as it stands; past the end: to the front);
  // their spread layers move with them. Refused (nothing moves) for the pages
  // layer, an unknown or repeated layer, or an index below 1.
  ErrorCode moveLayers(const std::vector<UID>& layers, int index);
  UID activeLayer() const { return activeLayer_; }
  ErrorCode setActiveLayer(UID layer);

  // Spreads and pages.
  const std::vector<UID>& spreadList() const { return spreads_; }
  int GetSpreadCount() const { return static_cast<int>(spreads_.size()); }
  ISpread* spreadAt(int index) const;
  int spreadIndex(UID spread) const;
  // A spread with one spread layer per document layer (their UIDs may be given, in layer order).
  ISpread* createSpread(int index = -1, UID uid = kInvalidUID, const std::vector<UID>& spreadLayerUIDs = {});
  Page* addPage(ISpread* spread, PMReal width, PMReal height, UID uid = kInvalidUID);
  // For the file loader and for building many spreads: the place is given
  // (top of the spread on the pasteboard, left of the page in its spread)
  // instead of found by a walk over every spread or page already there.
  ISpread* createSpreadAt(PMReal top, int index = -1, UID uid = kInvalidUID,
                          const std::vector<UID>& spreadLayerUIDs = {});
  Page* addPageAt(ISpread* spread, PMReal left, PMReal width, PMReal height, UID uid = kInvalidUID);
  // Where createSpread puts a spread below one of the given pasteboard bottom
  // (its pages' bottom, or its top when it has none).
  static PMReal spreadBottom(const ISpread& spread);
  ErrorCode deleteSpread(UID spread);
  // Master spreads: spreads with a unique name, outside the spread list (no
  // enumeration of pages or spreads visits them); pages apply them.
  const std::vector<UID>& masterSpreadList() const { return masters_; }
  ISpread* createMasterSpread(const std::string& name, UID uid = kInvalidUID,
                              const std::vector<UID>& spreadLayerUIDs = {});
  ISpread* findMasterSpread(const std::string& name) const;
  // The master page that shows beneath the page: the master's page of the
  // same side (left pages take the first, right pages the last), else null.
  Page* masterPageFor(const Page& page) const;
  std::vector<Page*> pages() const;
  int GetPageCount() const;
  Page* pageAt(int index) const;
  int pageIndex(UID page) const;
  // The spread that holds an object of the page-item tree, else kInvalidUID.
  UID spreadOf(UID object) const;
  // The page whose bounds contain the centre of the item, else kInvalidUID.
  UID pageOf(UID item) const;

  // Page items. Parents are spread layers, groups, frames and inline items.
  SplineItem* createSplineItem(UID parent, SplineShape shape, Path path, int index = -1,
                               UID uid = kInvalidUID);
  SplineItem* createRectangle(UID parent, const PMRect& bounds) {
    return createSplineItem(parent, SplineShape::Rectangle, Path::rectangle(bounds));
  }
  GraphicLine* createGraphicLine(UID parent, PMPoint from, PMPoint to, UID uid = kInvalidUID);
  Group* createGroup(UID parent, int index = -1, UID uid = kInvalidUID);
  PlacedContent* createPlacedContent(UID frame, ClassID kind, const PMRect& bounds, UID uid = kInvalidUID);
  MultiColumnItem* createTextFrameContent(UID frame, UID story, int threadIndex = -1, UID uid = kInvalidUID,
                                          const std::vector<UID>& columnUIDs = {});
  InlineItem* anchorItem(UID story, int position, UID item, UID uid = kInvalidUID);
  // An empty inline item on a U+FFFC already in the story (for the file loader).
  InlineItem* createInlineItem(UID story, int position, UID uid = kInvalidUID);
  // Deletes the items with their children, links and text frames.
  ErrorCode deleteItems(const UIDList& items);

  // Groups page items of one spread into a new group in the parent of the
  // front-most item; every item keeps its place on the pasteboard.
  ErrorCode groupItems(const UIDList& items, UID* group = nullptr, UID uid = kInvalidUID);
  ErrorCode ungroup(UID group, UIDList* released = nullptr);
  // Moves items to another parent, keeping their place on the pasteboard.
  ErrorCode reparent(UID item, UID newParent, int index = -1);
  // Moves top-level page items (children of spread layers) onto the given
  // document layer, each on its own spread, in front of what that layer holds
  // there. They keep their place on the pasteboard, their stories and threads,
  // and their stacking order among themselves (lower layers before higher,
  // back to front). Other items of the list (nested in groups, anchored, not
  // page items) stay where they are and make the answer
  // kInvalidParameterError once the rest has moved. One pass per spread layer.
  ErrorCode moveItemsToLayer(const UIDList& items, UID documentLayer);

  // Geometry, in pasteboard coordinates.
  std::optional<PMRect> pathBounds(UID item) const;
  std::optional<PMRect> strokeBounds(UID item) const;
  ErrorCode moveBy(const UIDList& items, PMReal dx, PMReal dy);
  ErrorCode transformBy(UID item, const PMMatrix& pasteboardTransform);
  // Resizes so that the path bounds become the rectangle; frames keep their content's size.
  ErrorCode setPathBounds(UID item, const PMRect& bounds);
  ErrorCode setStrokeBounds(UID item, const PMRect& bounds);
  // Makes the frame the size of its placed content.
  ErrorCode fitFrameToContent(UID frame);
  ErrorCode fitContentToFrame(UID frame, bool proportional);
  ErrorCode centerContent(UID frame);

  // Places a file into a frame: placed content, link and link resource.
  ErrorCode placeFile(UID frame, const std::string& path, UID* content = nullptr);
  // Stories and text frames.
  const std::vector<UID>& storyList() const { return stories_; }
  ITextModel* createStory(UID uid = kInvalidUID);
  ITextModel* story(UID uid) const;
  // Turns an empty frame into a text frame of the story (a new one when none is given).
  ErrorCode makeTextFrame(UID frame, UID story = kInvalidUID, MultiColumnItem** content = nullptr);
  // Threads the second text frame after the first one.
  ErrorCode linkTextFrames(UID first, UID second);

  // Links.
  const std::vector<UID>& linkList() const { return links_; }
  // A link of a page item to a file. The first link of placed content is the
  // placed file's; any page item may hold further links beside it.
  ILink* createLink(UID object, const std::string& path, UID linkUID = kInvalidUID,
                    UID resourceUID = kInvalidUID);
  // The same in two steps, as the link utilities do it: a resource for the
  // file, then the link of the item to it.
  ErrorCode createLinkResource(const std::string& path, UID* resource);
  ErrorCode createLink(UID object, UID resource, UID* link);
  // Points the link at another file; placed content takes the new file's
  // kind, image attributes and embedded profile (when it used one).
  ErrorCode relinkLink(UID link, const std::string& path);
  // Colour management of a placed image: use the profile its file embeds.
  // Fails for anything but an image whose file has a readable profile.
  ErrorCode useEmbeddedProfile(UID item, std::string* message = nullptr);
  std::vector<UID> linksForObject(UID object) const;
  ErrorCode deleteLink(UID link);

  // Swatches.
  const std::vector<UID>& swatchList() const { return swatches_; }
  Swatch* swatch(UID uid) const;
  Swatch* findSwatch(const std::string& name) const;
  UID noneSwatch() const { return none_; }
  UID paperSwatch() const { return paper_; }
  UID blackSwatch() const { return black_; }
  UID registrationSwatch() const { return registration_; }
  Swatch* createColor(const std::string& name, ColorModel model, ColorSpace space,
                      std::vector<double> components, UID uid = kInvalidUID);
  Swatch* createTint(UID base, double percent, const std::string& name = {}, UID uid = kInvalidUID);
  // The swatch of the session's stock colour number index, added when missing.
  UID stockColorUID(int index);
  bool isSwatchUsed(UID swatch) const;
  // One swatch to delete, and the tint (percent) of the replacement it stood for.
  struct SwatchDeletion {
    UID swatch = kInvalidUID;
    PMReal tint = 100;
  };
  // Deletes the swatches in one change. Reserved swatches (None, Registration,
  // Paper, Black), the replacement itself, duplicates and UIDs that name no
  // swatch are skipped and counted in skipped. Every use of a deleted swatch
  // (fills, strokes, text, tint swatches based on it) becomes the replacement
  // (None when invalid) at the deletion's tint times the use's own tint (a
  // use without one counts as 100 %); a replacement without colour (None)
  // leaves tints alone, and tints based on a deleted swatch go with it.
  ErrorCode deleteSwatches(const std::vector<SwatchDeletion>& swatches, UID replacement,
                           int* skipped = nullptr);
  // Replaces every use by the replacement (None when invalid), then removes the swatch.
  ErrorCode deleteSwatch(UID swatch, UID replacement = kInvalidUID);

  // Styles and languages.
  StyleGroup& styleGroup(StyleKind kind);
  const StyleGroup& styleGroup(StyleKind kind) const;
  UID findStyle(StyleKind kind, const std::string& name) const;
  // Fails when the name is taken; basedOn may be kInvalidUID.
  ErrorCode createStyle(StyleKind kind, const std::string& name, UID basedOn, UID* created = nullptr,
                        UID uid = kInvalidUID);
  const std::vector<UID>& languageList() const { return languages_; }
  UID findLanguage(const std::string& name) const;
  UID addLanguage(const std::string& name, UID uid = kInvalidUID);

  // Preferences and structure.
  const DocumentGrid& documentGrid() const { return grid_; }
  ErrorCode setDocumentGrid(const DocumentGrid& grid);
  const BaselineGrid& baselineGrid() const { return baselineGrid_; }
  ErrorCode setBaselineGrid(const BaselineGrid& grid);
  const XMLElement& xmlRoot() const { return xmlRoot_; }
  ErrorCode setXMLRoot(XMLElement root);
  // Empties the root element (its text and every element inside it); the
  // root keeps its tag and attributes.
  ErrorCode deleteXMLContent();

  // The document's own labels (key/value pairs, in order); an empty key is refused.
  const LabelStore& labels() const { return labels_; }
  ErrorCode setLabel(const std::string& key, std::string value);

  // The preflight profile assigned to the document; empty: the session's default.
  const std::string& preflightProfile() const { return preflightProfile_; }
  void setPreflightProfile(std::string name) {
    if (name != preflightProfile_) touch();
    preflightProfile_ = std::move(name);
  }

  // Layers and swatches tell their document when they are renamed.
  void nameChanged() const;

  // Fonts the document declares beside those its text uses (an IDML package's
  // font list): family and style, in order. The used-font list holds them too.
  struct DeclaredFont {
    std::string family, style;
    friend bool operator==(const DeclaredFont&, const DeclaredFont&) = default;
  };
  const std::vector<DeclaredFont>& declaredFonts() const { return declaredFonts_; }
  ErrorCode setDeclaredFonts(std::vector<DeclaredFont> fonts);

  IUsedFontList usedFontList() const;
  // The UID of the font family object for a family name, made on first use.
  // Font families are derived from the text and not saved; making one is no change.
  UID fontFamilyUID(const std::string& family) const;

  // Every page item of the document, depth first in hierarchy order.
  std::vector<UID> allPageItems() const;

  // The IDML package the document was opened from, kept so that an IDML export
  // can write back what the run did not change; null for other documents. Not
  // saved in the native format.
  const std::shared_ptr<const idml::SourcePackage>& sourcePackage() const { return sourcePackage_; }
  void setSourcePackage(std::shared_ptr<const idml::SourcePackage> package) {
    sourcePackage_ = std::move(package);
  }

  IDocument(std::unique_ptr<IDataBase> db, UID uid);

 private:
  void touch() const { database_->SetModified(true); }
  std::vector<UID> spreadsAndMasters() const;
  PageItem* item(UID uid) const;
  bool isContainer(UID uid) const;
  void destroyTree(UID uid);
  void replaceSwatchUses(UID from, UID to);
  PMRect nextSpreadPlace() const;

  std::unique_ptr<IDataBase> database_;
  std::string name_;
  bool facingPages_ = false;
  PMReal pageWidth_ = 595.2756, pageHeight_ = 841.8898;
  std::vector<UID> layers_;
  UID activeLayer_ = kInvalidUID;
  std::vector<UID> spreads_;
  std::vector<UID> masters_;
  std::vector<UID> stories_;
  std::vector<UID> links_;
  std::vector<UID> swatches_;
  UID none_ = kInvalidUID, paper_ = kInvalidUID, black_ = kInvalidUID, registration_ = kInvalidUID;
  StyleGroup paragraphStyles_{StyleKind::Paragraph}, characterStyles_{StyleKind::Character},
      tableStyles_{StyleKind::Table}, cellStyles_{StyleKind::Cell}, objectStyles_{StyleKind::Object};
  std::vector<UID> languages_;
  DocumentGrid grid_;
  BaselineGrid baselineGrid_;
  XMLElement xmlRoot_{"Root", {}, {}, {}};
  mutable std::map<std::string, UID> fontFamilies_;
  NameIndex layerNames_, swatchNames_, languageNames_;
  mutable std::unordered_map<UID, int> layerIndexes_;  // empty: to be rebuilt
  std::string preflightProfile_;
  std::vector<DeclaredFont> declaredFonts_;
  LabelStore labels_;
  std::shared_ptr<const idml::SourcePackage> sourcePackage_;
};

}  // namespace korvex
