#pragma once

// Small builders shared by the host tests.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/document.h"
#include "support/temp_home.h"

namespace korvex::test {

inline DocumentSetup setup(int pages, std::vector<std::string> layers = {"Layer 1"}, bool facing = false) {
  DocumentSetup s;
  s.pages = pages;
  s.layers = std::move(layers);
  s.facingPages = facing;
  return s;
}

// A minimal PNG: signature and header chunk are all the host reads.
inline std::string pngBytes(int width, int height, bool grey) {
  std::string b = "\x89PNG\r\n\x1a\n";
  b += std::string("\0\0\0\x0dIHDR", 8);
  auto be32 = [&](int v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<char>((v >> shift) & 0xFF));
  };
  be32(width);
  be32(height);
  b.push_back(8);
  b.push_back(grey ? 0 : 2);
  b += std::string("\0\0\0\0\0\0\0", 7);
  return b;
}

// A minimal baseline JPEG header with a 72 dpi JFIF segment and the frame header.
inline std::string jpegBytes(int width, int height, int components) {
  std::string b = "\xFF\xD8";
  b += std::string("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x01\x00\x48\x00\x48\x00\x00", 18);
  b += std::string("\xFF\xC0\x00\x0B\x08", 5);
  b.push_back(static_cast<char>(height >> 8));
  b.push_back(static_cast<char>(height & 0xFF));
  b.push_back(static_cast<char>(width >> 8));
  b.push_back(static_cast<char>(width & 0xFF));
  b.push_back(static_cast<char>(components));
  b += std::string("\x01\x11\x00", 3);
  b += "\xFF\xD9";
  return b;
}

// The spread layer of the document layer at layerIndex (0: the pages layer) on
// the spread at spreadIndex; by default the first content layer of the first spread.
inline UID spreadLayer(const IDocument& doc, int layerIndex = 1, int spreadIndex = 0) {
  return doc.spreadAt(spreadIndex)
      ->QueryLayer(doc.layerList()[static_cast<std::size_t>(layerIndex)])
      ->GetUID();
}

}  // namespace korvex::test
