#include "preview_command.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "command.h"
#include "host/document.h"
#include "host/output/preview.h"
#include "host/session.h"
#include "tool_arguments.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: korvex preview DOC OUT.jpg [--spread N] [--resolution PPI] [--quality 1-100]";

}  // namespace

int runPreviewCommand(std::span<const std::string> args) {
  std::string error;
  auto parsed = parseToolArguments(args, {"--spread", "--resolution", "--quality"}, {}, error);
  if (!parsed) return usageError(error + "\n" + kUsage);
  int spread = 1, resolution = 72, quality = 80;
  if (auto v = parsed->value("--spread"); v && (!parseWholeNumber(*v, spread) || spread < 1))
    return usageError("--spread needs a spread number, counted from 1");
  if (auto v = parsed->value("--resolution");
      v && (!parseWholeNumber(*v, resolution) || resolution < kMinPreviewResolution ||
            resolution > kMaxPreviewResolution))
    return usageError("--resolution needs pixels per inch from 72 to 600");
  if (auto v = parsed->value("--quality");
      v && (!parseWholeNumber(*v, quality) || quality < 1 || quality > 100))
    return usageError("--quality needs a JPEG quality from 1 to 100");
  if (parsed->positional.size() != 2) return usageError(kUsage);
  const std::string& docPath = parsed->positional[0];
  const std::string& outPath = parsed->positional[1];

  Application* app = GetExecutionContextSession()->application();
  IDocument* document = openDocumentForTool("preview", docPath);
  if (!document) return kExitFailed;
  const PreviewResult result = writeSpreadPreview(*document, spread - 1, resolution, quality, outPath);
  app->closeDocument(document);
  if (result.error != kSuccess) {
    std::fprintf(stderr, "korvex: preview: %s\n", result.message.c_str());
    return kExitFailed;
  }
  std::printf("%s: spread %d, %d x %d pixels at %d ppi\n", outPath.c_str(), spread, result.width,
              result.height, resolution);
  for (const UndrawableFile& file : result.undrawable)
    std::fprintf(stderr, "korvex: preview: %s: can't be drawn, left out: %s\n", file.path.c_str(),
                 file.reason.c_str());
  return result.undrawable.empty() ? kExitOk : kExitFailed;
}

}  // namespace korvex::cli
