#include "host/output/page_renderer.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "foundation/folders.h"
#include "host/document.h"
#include "host/image_info.h"

namespace korvex {

namespace {

constexpr PMReal kKappa = 0.5522847498;

Path roundedRectangle(const PMRect& r, PMReal radius) {
  radius = std::min({radius, r.width() / 2, r.height() / 2});
  const PMReal k = radius * (1 - kKappa);
  Path p;
  auto add = [&p](PMPoint a, PMPoint in, PMPoint out) { p.points.push_back({a, in, out}); };
  // Clockwise from the top edge's left end; each corner is one curve.
  add({r.left + radius, r.top}, {r.left + k, r.top}, {r.left + radius, r.top});
  add({r.right - radius, r.top}, {r.right - radius, r.top}, {r.right - k, r.top});
  add({r.right, r.top + radius}, {r.right, r.top + k}, {r.right, r.top + radius});
  add({r.right, r.bottom - radius}, {r.right, r.bottom - radius}, {r.right, r.bottom - k});
  add({r.right - radius, r.bottom}, {r.right - k, r.bottom}, {r.right - radius, r.bottom});
  add({r.left + radius, r.bottom}, {r.left + radius, r.bottom}, {r.left + k, r.bottom});
  add({r.left, r.bottom - radius}, {r.left, r.bottom - k}, {r.left, r.bottom - radius});
  add({r.left, r.top + radius}, {r.left, r.top + radius}, {r.left, r.top + k});
  p.closed = true;
  return p;
}

bool isPlainRectangle(const Path& path) {
  if (path.points.size() != 4 || !path.closed) return false;
  for (const auto& p : path.points)
    if (!p.isCorner()) return false;
  const auto& q = path.points;
  return (q[0].anchor.y == q[1].anchor.y && q[1].anchor.x == q[2].anchor.x &&
          q[2].anchor.y == q[3].anchor.y && q[3].anchor.x == q[0].anchor.x) ||
         (q[0].anchor.x == q[1].anchor.x && q[1].anchor.y == q[2].anchor.y &&
          q[2].anchor.x == q[3].anchor.x && q[3].anchor.y == q[0].anchor.y);
}

PMReal scaleOf(const PMMatrix& m) {
  return std::sqrt(std::abs(m.determinant()));
}

bool intersects(const PMRect& a, const PMRect& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

// Runs a program without a shell; true when it exits with 0.
bool runQuietly(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

PageRenderer::PageRenderer(const IDocument& document, RenderOptions options)
    : document_(document), options_(std::move(options)), composer_(document) {}

PageRenderer::~PageRenderer() {
  std::error_code ec;
  for (const auto& file : temporaryFiles_) std::filesystem::remove(file, ec);
}

void PageRenderer::problem(std::string text) {
  if (std::find(problems_.begin(), problems_.end(), text) == problems_.end())
    problems_.push_back(std::move(text));
}

void PageRenderer::undrawable(const std::string& path, std::string reason) {
  for (const UndrawableFile& known : undrawable_)
    if (known.path == path) return;
  undrawable_.push_back({path, std::move(reason)});
}

void PageRenderer::drawPage(RenderDevice& device, const Page& page) {
  const ISpread* spread = document_.GetDocDataBase()->instantiate<ISpread>(document_.spreadOf(page.GetUID()));
  if (!spread) return;
  OutputPage area{Path::rectangle(page.innerBounds()).bounds(page.innerToPasteboard()), options_.bleed,
                  options_.cropMarks, page.name()};
  drawArea(device, *spread, area);
}

void PageRenderer::drawSpread(RenderDevice& device, const ISpread& spread) {
  OutputPage area{spread.GetPagesBounds(true), options_.bleed, options_.cropMarks, {}};
  drawArea(device, spread, area);
}

void PageRenderer::drawArea(RenderDevice& device, const ISpread& spread, const OutputPage& area) {
  device.beginPage(area);
  const PMRect region = area.trim.inset(-area.bleed, -area.bleed);
  const IDataBase* db = document_.GetDocDataBase();
  // Each page shown with a master shows the items of its master page, moved
  // from the master page onto it.
  struct MasterPage {
    const ISpread* spread;
    PMMatrix onto;
    PMRect bounds;  // of the master page, on the pasteboard
  };
  std::vector<MasterPage> masters;
  for (const Page* page : spread.pages()) {
    const Page* masterPage = document_.masterPageFor(*page);
    if (!masterPage) continue;
    const PMMatrix pageToPasteboard = page->innerToPasteboard();
    if (!intersects(Path::rectangle(page->innerBounds()).bounds(pageToPasteboard), region)) continue;
    // A master based on another shows its parent's items beneath its own, on
    // the parent's page of the same side; a loop ends where it comes back.
    std::vector<MasterPage> chain;
    std::vector<UID> seen;
    const auto* first = db->instantiate<ISpread>(document_.spreadOf(masterPage->GetUID()));
    const bool left = first && first->pages().size() > 1 ? first->pages().front() == masterPage
                                                         : spread.pages().size() > 1 && spread.pages().front() == page;
    while (masterPage) {
      const UID spreadUID = document_.spreadOf(masterPage->GetUID());
      const auto* masterSpread = db->instantiate<ISpread>(spreadUID);
      const auto fromMaster = masterPage->innerToPasteboard().inverse();
      if (!masterSpread || !fromMaster || std::find(seen.begin(), seen.end(), spreadUID) != seen.end()) break;
      seen.push_back(spreadUID);
      chain.push_back({masterSpread, pageToPasteboard * *fromMaster,
                       Path::rectangle(masterPage->innerBounds()).bounds(masterPage->innerToPasteboard())});
      const auto* parent = db->instantiate<ISpread>(masterPage->appliedMaster());
      const std::vector<Page*> parentPages = parent ? parent->pages() : std::vector<Page*>{};
      masterPage = parentPages.empty() ? nullptr : left ? parentPages.front() : parentPages.back();
    }
    masters.insert(masters.end(), chain.rbegin(), chain.rend());
  }
  for (UID layerUID : document_.layerList()) {
    const auto* layer = db->instantiate<IDocumentLayer>(layerUID);
    if (!layer || !layer->IsVisible() || !layer->IsPrintable()) continue;
    // Master items lie beneath the page's own on the same layer.
    for (const MasterPage& m : masters)
      if (const ISpreadLayer* masterLayer = m.spread->QueryLayer(layerUID))
        for (UID child : masterLayer->children())
          if (auto b = document_.strokeBounds(child); b && intersects(*b, m.bounds))
            drawItem(device, child, region, m.onto);
    const ISpreadLayer* spreadLayer = spread.QueryLayer(layerUID);
    if (!spreadLayer) continue;
    for (UID child : spreadLayer->children()) drawItem(device, child, region);
  }
  device.endPage();
}

void PageRenderer::drawItem(RenderDevice& device, UID uid, const PMRect& region, const PMMatrix& outer) {
  const IDataBase* db = document_.GetDocDataBase();
  const PageItem* item = db->instantiate<PageItem>(uid);
  if (!item) return;  // pages and anything that is not a page item
  const GraphicAttributes& attributes = item->graphicAttributes();
  if (attributes.nonPrinting) return;
  if (auto bounds = document_.strokeBounds(uid); outer.isIdentity() && bounds && !intersects(*bounds, region))
    return;

  if (item->GetClass() == ClassID::kGroupItem) {
    for (UID child : item->children()) drawItem(device, child, region, outer);
    return;
  }
  const Path* own = item->path();
  if (!own || own->points.empty()) return;
  const PMMatrix toPasteboard = outer * item->innerToPasteboard();
  Path inner = *own;
  const auto* spline = dynamic_cast<const SplineItem*>(item);
  if (spline && spline->shape() == SplineShape::Rectangle && attributes.cornerRadius > 0 &&
      isPlainRectangle(inner))
    inner = roundedRectangle(inner.bounds(), attributes.cornerRadius);
  const Path outline = inner.transformed(toPasteboard);
  const auto conversion = options_.colorConversion;

  if (outline.closed)
    if (auto paint = paintForSwatch(document_, attributes.fillSwatch, attributes.fillTint, conversion))
      device.fill(outline, *paint);

  if (spline) {
    if (UID content = spline->placedContentUID(); content != kInvalidUID) {
      if (const auto* placed = db->instantiate<PageItem>(content)) {
        device.save();
        device.clip({outline}, false);
        drawContent(device, *placed, outer);
        device.restore();
      }
    }
    if (UID text = spline->textContentUID(); text != kInvalidUID) drawText(device, text, toPasteboard);
  }

  const PMReal weight = attributes.strokeWeight * scaleOf(toPasteboard);
  if (weight > 0) {
    if (auto paint = paintForSwatch(document_, attributes.strokeSwatch, attributes.strokeTint, conversion)) {
      const bool alignedStroke = outline.closed && attributes.strokeAlignment != StrokeAlignment::Center;
      if (!alignedStroke) {
        device.stroke(outline, *paint, weight);
      } else {
        // Twice the weight, clipped to one side of the path.
        device.save();
        if (attributes.strokeAlignment == StrokeAlignment::Inside) {
          device.clip({outline}, false);
        } else {
          const PMRect b = outline.bounds().inset(-2 * weight - 1, -2 * weight - 1);
          device.clip({Path::rectangle(b), outline}, true);
        }
        device.stroke(outline, *paint, 2 * weight);
        device.restore();
      }
    }
  }
}

std::shared_ptr<ImageData> PageRenderer::picture(const std::string& path, int pixelWidth, int pixelHeight,
                                                 const std::string& linked) {
  const std::string key = path + "\n" + std::to_string(pixelWidth) + "x" + std::to_string(pixelHeight);
  if (auto it = pictures_.find(key); it != pictures_.end()) return it->second;
  ImageLoadOptions load;
  load.targetWidth = pixelWidth;
  load.targetHeight = pixelHeight;
  load.jpegQuality = options_.jpegQuality;
  load.toRGB = options_.colorConversion == PdfColorConversion::ToRGB;
  std::shared_ptr<ImageData> result;
  if (auto loaded = loadImageFile(path, load))
    result = std::make_shared<ImageData>(std::move(*loaded));
  else
    undrawable(linked, loaded.message().starts_with(path + ": ") ? loaded.message().substr(path.size() + 2)
                                                                 : loaded.message());
  pictures_[key] = result;
  return result;
}

std::string PageRenderer::epsAsPdf(const std::string& path, const std::string& linked) {
  if (auto it = convertedEps_.find(path); it != convertedEps_.end()) return it->second;
  const std::string folder = options_.scratchFolder.empty() ? temporaryDirectory() : options_.scratchFolder;
  std::string out = folder + "/korvex-eps-XXXXXX";
  std::vector<char> name(out.begin(), out.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  std::string result;
  if (fd >= 0) {
    close(fd);
    out = name.data();
    temporaryFiles_.push_back(out);
    if (runQuietly({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop", "-sDEVICE=pdfwrite",
                    "-dAutoRotatePages=/None", "-sOutputFile=" + out, path}))
      result = out;
  }
  if (result.empty()) undrawable(linked, "Ghostscript could not convert the EPS file");
  convertedEps_[path] = result;
  return result;
}

std::string PageRenderer::embeddedCopy(const LinkResource& resource) {
  const std::string key = std::to_string(reinterpret_cast<std::uintptr_t>(&resource));
  if (auto it = embeddedCopies_.find(key); it != embeddedCopies_.end()) return it->second;
  const std::string folder = options_.scratchFolder.empty() ? temporaryDirectory() : options_.scratchFolder;
  const std::string extension = std::filesystem::path(resource.path()).extension().string();
  std::string pattern = folder + "/korvex-embedded-XXXXXX" + extension;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemps(name.data(), static_cast<int>(extension.size()));
  std::string result;
  if (fd >= 0) {
    const auto& data = resource.embeddedData();
    std::size_t written = 0;
    while (written < data.size()) {
      const ssize_t n = write(fd, data.data() + written, data.size() - written);
      if (n <= 0) break;
      written += static_cast<std::size_t>(n);
    }
    close(fd);
    temporaryFiles_.push_back(name.data());
    if (written == data.size()) result = name.data();
  }
  if (result.empty()) undrawable(resource.path(), "embedded copy can't be used");
  embeddedCopies_[key] = result;
  return result;
}

void PageRenderer::drawContent(RenderDevice& device, const PageItem& content, const PMMatrix& outer) {
  const auto* placed = dynamic_cast<const PlacedContent*>(&content);
  if (!placed || placed->graphicAttributes().nonPrinting) return;
  const IDataBase* db = document_.GetDocDataBase();
  const ILink* link = db->instantiate<ILink>(placed->linkUID());
  const LinkResource* resource = link ? link->resource() : nullptr;
  if (!resource) return;
  // Reports name the linked file, also when an embedded copy is drawn.
  const std::string linked = resource->path();
  std::string path = linked;
  if (resource->isEmbedded() && !resource->embeddedData().empty()) {
    // The document's own copy counts, whatever is on disk now.
    path = embeddedCopy(*resource);
    if (path.empty()) return;
  } else if (!std::filesystem::is_regular_file(path)) {
    problem(path + ": missing link, not drawn");
    return;
  }
  const PMRect bounds = placed->path()->bounds();
  const PMMatrix toPasteboard = outer * placed->innerToPasteboard();
  switch (placed->GetClass()) {
    case ClassID::kImageItem: {
      int targetWidth = 0, targetHeight = 0;
      auto attributes = readImageAttributes(path);
      if (!attributes) {
        auto header = readPictureHeader(path);
        const std::string why = header ? "pixel size out of range" : header.message();
        undrawable(linked, why.starts_with(path + ": ") ? why.substr(path.size() + 2) : why);
        break;
      }
      if (options_.downsampleThreshold > 0 && bounds.width() > 0) {
        const PMReal inches = bounds.width() * scaleOf(toPasteboard) / 72;
        const PMReal ppi = attributes->pixelWidth / inches;
        if (ppi > options_.downsampleThreshold) {
          const PMReal factor = options_.downsampleTarget / ppi;
          targetWidth = std::max(1, static_cast<int>(std::lround(attributes->pixelWidth * factor)));
          targetHeight = std::max(1, static_cast<int>(std::lround(attributes->pixelHeight * factor)));
        }
      }
      if (auto image = picture(path, targetWidth, targetHeight, linked)) {
        device.image(*image, bounds, toPasteboard);
        // A PDF holds the compressed picture; the decoded samples of every
        // picture of a long document would otherwise stay until the end.
        if (device.keepsPictures()) std::vector<std::uint8_t>().swap(image->bytes);
      }
      break;
    }
    case ClassID::kPDFItem: {
      auto placedPage = device.pdfPage(path, 0, bounds, toPasteboard);
      if (!placedPage)
        undrawable(linked, "PDF page can't be placed: " + placedPage.message());
      else if (!placedPage->repair.empty())
        problem(path + ": damaged PDF file, repaired to draw it (" + placedPage->repair + ")");
      break;
    }
    case ClassID::kEPSItem: {
      const std::string pdf = epsAsPdf(path, linked);
      if (pdf.empty()) break;
      if (auto placedPage = device.pdfPage(pdf, 0, bounds, toPasteboard); !placedPage)
        undrawable(linked, "converted EPS can't be placed: " + placedPage.message());
      break;
    }
    default: break;
  }
}

void PageRenderer::drawText(RenderDevice& device, UID multiColumnItem, const PMMatrix& toPasteboard) {
  const auto* mci = document_.GetDocDataBase()->instantiate<MultiColumnItem>(multiColumnItem);
  if (!mci) return;
  for (UID columnUID : mci->children()) {
    const ComposedColumn* column = composer_.column(columnUID);
    if (!column) continue;
    for (const GlyphRun& run : column->runs) {
      if (auto paint = paintForSwatch(document_, run.colorSwatch, run.tint, options_.colorConversion))
        device.glyphs(run, *paint, toPasteboard);
    }
    const IDataBase* db = document_.GetDocDataBase();
    for (const ComposedColumn::Inline& anchored : column->inlines) {
      const auto* inl = db->instantiate<InlineItem>(anchored.inlineItem);
      if (!inl || inl->GetChildCount() == 0 || inlineDepth_ >= 8) continue;
      ++inlineDepth_;
      const UID frameUID = inl->GetChildUID(0);
      const auto* frame = db->instantiate<PageItem>(frameUID);
      if (frame && frame->path()) {
        // The frame sits on the baseline with its bottom left at the anchor.
        const PMRect b = frame->path()->bounds(frame->innerToPasteboard());
        const PMMatrix place = toPasteboard * PMMatrix::translation(anchored.position.x - b.left,
                                                                    anchored.position.y - b.bottom);
        drawItem(device, frameUID, {-1e9, -1e9, 1e9, 1e9}, place);
      }
      --inlineDepth_;
    }
  }
  if (const ITextModel* story = document_.story(mci->storyUID())) {
    for (int pos = 0; pos < story->TotalLength() - 1;) {
      const auto family = story->QueryRun(AttributeClass::kFontFamily, pos);
      const auto style = story->QueryRun(AttributeClass::kFontStyle, pos);
      if (!family || !style) break;
      const auto* f = std::get_if<std::string>(&family->value);
      const auto* s = std::get_if<std::string>(&style->value);
      if (f && composer_.fonts().get(*f, s ? *s : std::string()).fallback)
        problem("font " + *f + (s ? " " + *s : std::string()) + " is missing, drawn with a substitute");
      pos += std::max(1, std::min(family->length, style->length));
    }
  }
}

}  // namespace korvex
