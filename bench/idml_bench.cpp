// Opening a large IDML package against what it costs at least: unzipping the
// package and parsing every part with libxml2 alone. Each step runs as its
// own process so that /usr/bin/time -v gives its peak memory:
//
//   idml_bench make big.idml     # 500 pages, 10 frames each, threaded stories, 2 MB of text
//   idml_bench open big.idml     # the host's reader: a whole document
//   idml_bench parse big.idml    # libzip + libxml2 over every entry, nothing built
//
// Each prints its wall time in milliseconds (best of three runs).

#include <libxml/parser.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/read_file.h"
#include "host/idml/package_reader.h"

namespace {

constexpr int kPages = 500;
constexpr int kFramesPerPage = 10;
constexpr int kStories = 50;               // each threaded through 100 frames
constexpr std::size_t kTextBytes = 2000000;  // spread over the stories

std::string rectangle(double w, double h) {
  auto p = [](double x, double y) {
    const std::string a = std::to_string(x) + " " + std::to_string(y);
    return "<PathPointType Anchor=\"" + a + "\" LeftDirection=\"" + a + "\" RightDirection=\"" + a + "\"/>";
  };
  return "<Properties><PathGeometry><GeometryPathType PathOpen=\"false\"><PathPointArray>" + p(0, 0) + p(0, h) +
         p(w, h) + p(w, 0) + "</PathPointArray></GeometryPathType></PathGeometry></Properties>";
}

const char* const kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char* const kNs = " xmlns:idPkg=\"http://ns.adobe.com/AdobeInDesign/idml/1.0/packaging\" DOMVersion=\"8.0\"";

int make(const char* path) {
  std::vector<std::pair<std::string, std::string>> parts;
  parts.emplace_back("mimetype", "application/vnd.adobe.indesign-idml-package");
  std::string designmap = std::string(kHead) + "<Document" + kNs + " Self=\"d\" ActiveLayer=\"uL\">" +
                          "<idPkg:Graphic src=\"Resources/Graphic.xml\"/>"
                          "<idPkg:Preferences src=\"Resources/Preferences.xml\"/>"
                          "<Layer Self=\"uL\" Name=\"Text\"/>";
  parts.emplace_back("Resources/Graphic.xml",
                     std::string(kHead) + "<idPkg:Graphic" + kNs +
                         "><Color Self=\"Color/Rot\" Model=\"Process\" Space=\"CMYK\" ColorValue=\"0 100 100 0\" "
                         "Name=\"Rot\"/></idPkg:Graphic>");
  parts.emplace_back("Resources/Preferences.xml",
                     std::string(kHead) + "<idPkg:Preferences" + kNs +
                         "><DocumentPreference PageWidth=\"595\" PageHeight=\"842\"/></idPkg:Preferences>");
  const int framesPerStory = kPages * kFramesPerPage / kStories;
  for (int page = 0; page < kPages; ++page) {
    const std::string name = "Spreads/Spread_s" + std::to_string(page) + ".xml";
    std::string spread = std::string(kHead) + "<idPkg:Spread" + kNs + "><Spread Self=\"s" + std::to_string(page) +
                         "\"><Page Self=\"p" + std::to_string(page) +
                         "\" GeometricBounds=\"0 0 842 595\" ItemTransform=\"1 0 0 1 0 -421\"/>";
    for (int f = 0; f < kFramesPerPage; ++f) {
      const int index = page * kFramesPerPage + f;
      const int story = index % kStories, position = index / kStories;
      const auto frame = [&](int p) { return "f" + std::to_string(story) + "_" + std::to_string(p); };
      spread += "<TextFrame Self=\"" + frame(position) + "\" ParentStory=\"st" + std::to_string(story) +
                "\" PreviousTextFrame=\"" + (position == 0 ? "n" : frame(position - 1)) + "\" NextTextFrame=\"" +
                (position + 1 == framesPerStory ? "n" : frame(position + 1)) + "\" ItemTransform=\"1 0 0 1 36 " +
                std::to_string(-385 + f * 77) + "\">" + rectangle(523, 70) + "</TextFrame>";
    }
    spread += "</Spread></idPkg:Spread>";
    designmap += "<idPkg:Spread src=\"" + name + "\"/>";
    parts.emplace_back(name, std::move(spread));
  }
  const std::string words = "Lorem ipsum dolor sit amet, consectetur adipiscing elit. Größe und Maß. ";
  for (int s = 0; s < kStories; ++s) {
    const std::string name = "Stories/Story_st" + std::to_string(s) + ".xml";
    std::string story = std::string(kHead) + "<idPkg:Story" + kNs + "><Story Self=\"st" + std::to_string(s) +
                        "\"><ParagraphStyleRange><CharacterStyleRange FillColor=\"Color/Rot\" PointSize=\"9\">";
    std::size_t text = 0;
    while (text < kTextBytes / kStories) {
      story += "<Content>" + words + words + words + "</Content><Br/>";
      text += 3 * words.size() + 1;
    }
    story += "</CharacterStyleRange></ParagraphStyleRange></Story></idPkg:Story>";
    designmap += "<idPkg:Story src=\"" + name + "\"/>";
    parts.emplace_back(name, std::move(story));
  }
  designmap += "</Document>";
  parts.insert(parts.begin() + 1, {"designmap.xml", designmap});

  int error = 0;
  zip_t* archive = zip_open(path, ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) {
    std::fprintf(stderr, "%s: can't be made (%d)\n", path, error);
    return 1;
  }
  for (auto& [name, data] : parts) {
    zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
    if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      std::fprintf(stderr, "%s: %s\n", path, zip_strerror(archive));
      zip_discard(archive);
      return 1;
    }
  }
  if (zip_close(archive) != 0) {
    std::fprintf(stderr, "%s: %s\n", path, zip_strerror(archive));
    zip_discard(archive);
    return 1;
  }
  return 0;
}

// The floor: every entry inflated and parsed, the trees freed.
bool parseAll(const std::string& bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  zip_error_fini(&error);
  if (!archive) {
    if (source) zip_source_free(source);
    return false;
  }
  bool ok = true;
  const zip_int64_t n = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < n && ok; ++i) {
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    if (!file) return false;
    std::string data;
    char buffer[65536];
    zip_int64_t got;
    while ((got = zip_fread(file, buffer, sizeof buffer)) > 0) data.append(buffer, static_cast<std::size_t>(got));
    zip_fclose(file);
    if (std::strcmp(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0), "mimetype") == 0) continue;
    xmlDocPtr doc = xmlReadMemory(data.data(), static_cast<int>(data.size()), nullptr, nullptr, XML_PARSE_NONET);
    ok = doc != nullptr;
    xmlFreeDoc(doc);
  }
  zip_discard(archive);
  return ok;
}

double bestOfThree(const std::function<bool()>& run) {
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) return -1;
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: idml_bench make|open|parse FILE.idml\n");
    return 2;
  }
  const std::string mode = argv[1];
  if (mode == "make") return make(argv[2]);
  korvex::Result<std::string> bytes = korvex::readRegularFile(argv[2], korvex::kMaxDocumentFileBytes);
  if (!bytes) {
    std::fprintf(stderr, "%s\n", bytes.message().c_str());
    return 1;
  }
  double ms = -1;
  if (mode == "open") {
    int pages = 0;
    ms = bestOfThree([&] {
      korvex::DocumentLoadResult r = korvex::idml::readPackage(*bytes, argv[2], "/nonexistent");
      if (!r.document) std::fprintf(stderr, "%s\n", r.message.c_str());
      pages = r.document ? r.document->GetPageCount() : 0;
      return r.document != nullptr;
    });
    std::printf("open: %d pages\n", pages);
  } else if (mode == "parse") {
    ms = bestOfThree([&] { return parseAll(*bytes); });
  } else {
    std::fprintf(stderr, "usage: idml_bench make|open|parse FILE.idml\n");
    return 2;
  }
  if (ms < 0) return 1;
  std::printf("%s: %.1f ms\n", mode.c_str(), ms);
  return 0;
}
