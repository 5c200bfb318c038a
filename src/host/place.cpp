#include "host/place.h"

#include <algorithm>
#include <cctype>

namespace korvex {

namespace URIUtils {

URI IDFileToURI(const IDFile& file) {
  if (file.empty()) return {};
  static const char* hex = "0123456789ABCDEF";
  std::string out = "file://";
  for (unsigned char c : file.path()) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return URI(out);
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out.push_back(static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

IDFile URIToIDFile(const URI& uri) {
  const std::string& t = uri.text();
  std::string rest;
  if (t.rfind("file://", 0) == 0)
    rest = t.substr(7);
  else if (t.rfind("file:", 0) == 0)
    rest = t.substr(5);
  else
    return {};
  const std::string out = percentDecoded(rest);
  // A NUL byte can't be part of a path.
  if (out.empty() || out[0] != '/' || out.find('\0') != std::string::npos) return {};
  return IDFile(out);
}

}  // namespace URIUtils

ErrorCode placeFileInRect(IDocument& document, UID spreadLayer, PMPoint topLeft, PMPoint bottomRight,
                          const URI& uri, UID* frame) {
  IDataBase* db = document.GetDocDataBase();
  auto* layer = db->instantiate<ISpreadLayer>(spreadLayer);
  if (!layer) return kInvalidParameterError;
  const IDFile file = URIUtils::URIToIDFile(uri);
  if (file.empty()) return kInvalidParameterError;
  if (!stampOfFile(file.path())) return kFileNotFoundError;
  const auto inverse = layer->innerToPasteboard().inverse();
  if (!inverse) return kInvalidParameterError;
  const PMPoint a = inverse->apply(topLeft), b = inverse->apply(bottomRight);
  const PMRect bounds{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
  if (bounds.isEmpty()) return kInvalidParameterError;
  SplineItem* created = document.createRectangle(spreadLayer, bounds);
  if (!created) return kFailure;
  const UID uid = created->GetUID();
  if (const ErrorCode error = document.placeFile(uid, file.path()); error != kSuccess) {
    document.deleteItems(UIDList(UIDRef(db, uid)));
    return error;
  }
  if (frame) *frame = uid;
  return kSuccess;
}

ErrorCode importFileToDatabase(IDocument& document, const URI& uri, UID* frame) {
  const IDFile file = URIUtils::URIToIDFile(uri);
  if (file.empty()) return kInvalidParameterError;
  if (!stampOfFile(file.path())) return kFileNotFoundError;
  IDataBase* db = document.GetDocDataBase();
  SplineItem* holder = db->create<SplineItem>(SplineShape::Rectangle, Path::rectangle({0, 0, 72, 72}));
  if (!holder) return kFailure;
  const UID uid = holder->GetUID();
  GraphicAttributes a;
  a.fillSwatch = document.noneSwatch();
  a.strokeSwatch = document.noneSwatch();
  holder->setGraphicAttributes(a);
  ErrorCode error = document.placeFile(uid, file.path());
  if (error == kSuccess) error = document.fitFrameToContent(uid);
  if (error != kSuccess) {
    document.deleteItems(UIDList(UIDRef(db, uid)));
    return error;
  }
  if (frame) *frame = uid;
  return kSuccess;
}

namespace FrameContentFacade {

namespace {

template <typename Operation>
ErrorCode forEach(const UIDList& frames, Operation operation) {
  IDataBase* db = frames.GetDataBase();
  if (!db || !db->document()) return kInvalidParameterError;
  for (UID uid : frames)
    if (const ErrorCode error = operation(*db->document(), uid); error != kSuccess) return error;
  return kSuccess;
}

}  // namespace

ErrorCode FitContentProp(const UIDList& frames) {
  return forEach(frames, [](IDocument& d, UID f) { return d.fitContentToFrame(f, true); });
}

ErrorCode CenterContent(const UIDList& frames) {
  return forEach(frames, [](IDocument& d, UID f) { return d.centerContent(f); });
}

ErrorCode FillFrameProp(const UIDList& frames) {
  return forEach(frames, [](IDocument& d, UID f) -> ErrorCode {
    auto* frame = d.GetDocDataBase()->instantiate<SplineItem>(f);
    if (!frame || frame->placedContentUID() == kInvalidUID) return kInvalidParameterError;
    const UID content = frame->placedContentUID();
    const PMRect fb = *d.pathBounds(f), cb = *d.pathBounds(content);
    if (cb.width() <= 0 || cb.height() <= 0) return kInvalidParameterError;
    // The larger scale covers the whole frame; the overflow is shared evenly.
    const PMReal s = std::max(fb.width() / cb.width(), fb.height() / cb.height());
    const PMReal w = cb.width() * s, h = cb.height() * s;
    const PMReal x = fb.left + (fb.width() - w) / 2, y = fb.top + (fb.height() - h) / 2;
    return d.transformBy(content, rectToRect(cb, {x, y, x + w, y + h}));
  });
}

ErrorCode FitFrameToContent(const UIDList& frames) {
  return forEach(frames, [](IDocument& d, UID f) { return d.fitFrameToContent(f); });
}

ErrorCode FitContentToFrame(const UIDList& frames) {
  return forEach(frames, [](IDocument& d, UID f) { return d.fitContentToFrame(f, false); });
}

}  // namespace FrameContentFacade

}  // namespace korvex
