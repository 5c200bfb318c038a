#pragma once

// Walks a document's pages or spreads and draws them into a device: visible
// and printable layers back to front, non-printing items left out, frames
// with fill, content (pictures, placed PDF and EPS, composed text) clipped to
// the frame, then stroke.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/output/composer.h"
#include "host/output/pdf_style.h"
#include "host/output/render_device.h"

namespace korvex {

class IDocument;
class ISpread;
class Page;
class PageItem;
class LinkResource;

// A linked file left out of the output, and why.
struct UndrawableFile {
  std::string path;
  std::string reason;
  friend bool operator==(const UndrawableFile&, const UndrawableFile&) = default;
};

struct RenderOptions {
  PMReal bleed = 0;
  bool cropMarks = false;
  PdfColorConversion colorConversion = PdfColorConversion::Keep;
  PMReal downsampleThreshold = 0;  // pixels per inch; 0 keeps every picture as it is
  PMReal downsampleTarget = 300;
  int jpegQuality = 90;
  // Where converted EPS files go; empty: the temporary folder.
  std::string scratchFolder;
};

class PageRenderer {
 public:
  PageRenderer(const IDocument& document, RenderOptions options);
  ~PageRenderer();
  PageRenderer(const PageRenderer&) = delete;
  PageRenderer& operator=(const PageRenderer&) = delete;

  void drawPage(RenderDevice& device, const Page& page);
  void drawSpread(RenderDevice& device, const ISpread& spread);
  Composer& composer() { return composer_; }
  // Things drawn other than asked (missing pictures, fonts replaced), one line each.
  const std::vector<std::string>& problems() const { return problems_; }
  // Linked files that are there but could not be drawn, once each in drawing order.
  const std::vector<UndrawableFile>& undrawable() const { return undrawable_; }

 private:
  void drawArea(RenderDevice& device, const ISpread& spread, const OutputPage& area);
  // outer maps the item's pasteboard place elsewhere (frames anchored in text).
  void drawItem(RenderDevice& device, UID uid, const PMRect& region, const PMMatrix& outer = {});
  void drawContent(RenderDevice& device, const PageItem& content, const PMMatrix& outer);
  void drawText(RenderDevice& device, UID multiColumnItem, const PMMatrix& toPasteboard);
  // linked names the file in reports when path is a copy of it.
  std::shared_ptr<ImageData> picture(const std::string& path, int pixelWidth, int pixelHeight,
                                     const std::string& linked);
  std::string epsAsPdf(const std::string& path, const std::string& linked);
  // A file with the bytes of an embedded link, made once per export.
  std::string embeddedCopy(const LinkResource& resource);
  void problem(std::string text);
  void undrawable(const std::string& path, std::string reason);

  const IDocument& document_;
  RenderOptions options_;
  Composer composer_;
  std::map<std::string, std::shared_ptr<ImageData>> pictures_;
  std::map<std::string, std::string> convertedEps_;
  std::map<std::string, std::string> embeddedCopies_;
  std::vector<std::string> temporaryFiles_;
  std::vector<std::string> problems_;
  std::vector<UndrawableFile> undrawable_;
  int inlineDepth_ = 0;  // frames anchored in frames anchored in …
};

}  // namespace korvex
