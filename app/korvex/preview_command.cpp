#include "preview_command.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "command.h"
#include "host/document.h"
#include "host/output/preview.h"
#include "host/session.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: korvex preview DOC OUT.jpg [--spread N] [--resolution PPI] [--quality 1-100]";

bool parseWhole(const std::string& text, int& out) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  out = std::stoi(text);
  return true;
}

}  // namespace

int runPreviewCommand(std::span<const std::string> args) {
  std::vector<std::string> positional;
  int spread = 1, resolution = 72, quality = 80;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--spread") {
      if (i + 1 >= args.size() || !parseWhole(args[++i], spread) || spread < 1)
        return usageError("--spread needs a spread number, counted from 1");
    } else if (a == "--resolution") {
      if (i + 1 >= args.size() || !parseWhole(args[++i], resolution) || resolution < kMinPreviewResolution ||
          resolution > kMaxPreviewResolution)
        return usageError("--resolution needs pixels per inch from 72 to 600");
    } else if (a == "--quality") {
      if (i + 1 >= args.size() || !parseWhole(args[++i], quality) || quality < 1 || quality > 100)
        return usageError("--quality needs a JPEG quality from 1 to 100");
    } else if (a.rfind("--", 0) == 0) {
      return usageError("unknown option '" + a + "'\n" + kUsage);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return usageError(kUsage);
  const std::string& docPath = positional[0];
  const std::string& outPath = positional[1];

  Application* app = GetExecutionContextSession()->application();
  IDocument* document = nullptr;
  if (ErrorCode code = app->openDocument(docPath, false, &document); code != kSuccess || !document) {
    std::fprintf(stderr, "korvex: preview: %s\n", app->errorMessage().c_str());
    return kExitFailed;
  }
  const PreviewResult result = writeSpreadPreview(*document, spread - 1, resolution, quality, outPath);
  app->closeDocument(document);
  if (result.error != kSuccess) {
    std::fprintf(stderr, "korvex: preview: %s\n", result.message.c_str());
    return kExitFailed;
  }
  std::printf("%s: spread %d, %d x %d pixels at %d ppi\n", outPath.c_str(), spread, result.width,
              result.height, resolution);
  return kExitOk;
}

}  // namespace korvex::cli
