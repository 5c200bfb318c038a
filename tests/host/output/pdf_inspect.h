#pragma once

// Looking into written PDF files from tests: the objects as text with their
// streams decoded (by qpdf), Ghostscript's ink coverage and extracted text.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_home.h"

namespace korvex::test {

// The file as qpdf rewrites it for reading: no object streams, every stream it can decode
// (Flate, ASCIIHex, …) decoded, dictionaries as "<< /Key /Value >>". Empty when qpdf can't read it.
inline std::string inflatedPdf(const std::string& pdf) {
  std::string pattern = (std::filesystem::temp_directory_path() / "korvex-inspect-XXXXXX").string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return {};
  close(fd);
  const std::string in = pattern, out = in + ".out";
  writeFile(in, pdf);
  auto r = runProcess("/usr/bin/qpdf", {"--object-streams=disable", "--stream-data=uncompress",
                                        "--decode-level=generalized", in, out});
  std::string text = r.exitCode == 0 || r.exitCode == 3 ? readFile(out) : std::string();
  std::filesystem::remove(in);
  std::filesystem::remove(out);
  return text;
}

// What qpdf --check and poppler say against the file: empty when both read it cleanly.
inline std::string readerComplaints(const std::filesystem::path& pdf) {
  auto check = runProcess("/usr/bin/qpdf", {"--check", pdf.string()});
  auto poppler = runProcess("/usr/bin/pdftoppm", {"-r", "10", "-f", "1", "-l", "1", pdf.string(),
                                                  (pdf.parent_path() / "complaints").string()});
  std::string said;
  if (check.exitCode != 0) said += "qpdf: " + check.out + check.err;
  if (poppler.exitCode != 0 || !poppler.err.empty()) said += "poppler: " + poppler.err;
  return said;
}

inline int countOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
  return n;
}

struct Ink {
  double c = 0, m = 0, y = 0, k = 0;
};

// Ghostscript's coverage per page.
inline std::vector<Ink> inkCoverage(const std::filesystem::path& pdf) {
  auto r = runProcess("/usr/bin/gs", {"-q", "-dSAFER", "-o", "-", "-sDEVICE=inkcov", pdf.string()});
  std::vector<Ink> pages;
  std::regex line(R"(([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+CMYK)");
  for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), line); it != std::sregex_iterator(); ++it)
    pages.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])});
  return pages;
}

inline std::string extractedText(const std::filesystem::path& pdf) {
  return runProcess("/usr/bin/gs", {"-q", "-dSAFER", "-o", "-", "-sDEVICE=txtwrite", pdf.string()}).out;
}

// The width and height of each page's media box, in page order.
inline std::vector<std::pair<double, double>> mediaBoxes(const std::string& file) {
  const std::string pdf = inflatedPdf(file);
  std::vector<std::pair<double, double>> boxes;
  std::regex box(R"(/MediaBox\s*\[\s*([-0-9.]+)\s+([-0-9.]+)\s+([-0-9.]+)\s+([-0-9.]+)\s*\])");
  for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), box); it != std::sregex_iterator(); ++it)
    boxes.emplace_back(std::stod((*it)[3]) - std::stod((*it)[1]), std::stod((*it)[4]) - std::stod((*it)[2]));
  return boxes;
}

}  // namespace korvex::test
