#pragma once

// Looking into written PDF files from tests: the objects as text with their
// streams inflated, Ghostscript's ink coverage and extracted text.

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_home.h"

namespace korvex::test {

// The file with every Flate stream replaced by its inflated bytes.
inline std::string inflatedPdf(const std::string& pdf) {
  std::string out;
  std::size_t pos = 0;
  while (true) {
    std::size_t start = pdf.find("stream", pos);
    if (start == std::string::npos) break;
    if (start >= 3 && pdf.compare(start - 3, 3, "end") == 0) {
      out.append(pdf, pos, start + 6 - pos);
      pos = start + 6;
      continue;
    }
    std::size_t dataStart = start + 6;
    if (pdf.compare(dataStart, 2, "\r\n") == 0)
      dataStart += 2;
    else if (pdf[dataStart] == '\n')
      dataStart += 1;
    const std::size_t end = pdf.find("endstream", dataStart);
    if (end == std::string::npos) break;
    out.append(pdf, pos, dataStart - pos);
    std::string data = pdf.substr(dataStart, end - dataStart);
    std::vector<unsigned char> buffer(std::max<std::size_t>(data.size() * 20, 1 << 16));
    uLongf size = buffer.size();
    int rc = Z_BUF_ERROR;
    while ((rc = uncompress(buffer.data(), &size, reinterpret_cast<const Bytef*>(data.data()),
                            data.size())) == Z_BUF_ERROR) {
      buffer.resize(buffer.size() * 4);
      size = buffer.size();
      if (buffer.size() > (1u << 28)) break;
    }
    if (rc == Z_OK)
      out.append(reinterpret_cast<const char*>(buffer.data()), size);
    else
      out += data;
    pos = end;
  }
  out.append(pdf, pos, std::string::npos);
  return out;
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

// "/MediaBox[ 0 0 w h]" of each page, in file order.
inline std::vector<std::pair<double, double>> mediaBoxes(const std::string& pdf) {
  std::vector<std::pair<double, double>> boxes;
  std::regex box(R"(/MediaBox\[\s*([-0-9.]+)\s+([-0-9.]+)\s+([-0-9.]+)\s+([-0-9.]+)\])");
  for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), box); it != std::sregex_iterator(); ++it)
    boxes.emplace_back(std::stod((*it)[3]) - std::stod((*it)[1]), std::stod((*it)[4]) - std::stod((*it)[2]));
  return boxes;
}

}  // namespace korvex::test
