#pragma once

// The names the native document file gives the host's enumerations: one
// table each, so that the reader accepts exactly what the writer writes.

#include <utility>

#include "host/document.h"

namespace korvex {

template <typename E>
struct EnumNames;
template <>
struct EnumNames<StrokeAlignment> {
  static constexpr std::pair<StrokeAlignment, const char*> values[] = {{StrokeAlignment::Center, "center"},
                                                                       {StrokeAlignment::Inside, "inside"},
                                                                       {StrokeAlignment::Outside, "outside"}};
};
template <>
struct EnumNames<TextWrapMode> {
  static constexpr std::pair<TextWrapMode, const char*> values[] = {
      {TextWrapMode::None, "none"},
      {TextWrapMode::BoundingBox, "boundingBox"},
      {TextWrapMode::Contour, "contour"},
      {TextWrapMode::JumpObject, "jumpObject"},
      {TextWrapMode::NextColumn, "nextColumn"}};
};
template <>
struct EnumNames<VerticalJustification> {
  static constexpr std::pair<VerticalJustification, const char*> values[] = {
      {VerticalJustification::Top, "top"},
      {VerticalJustification::Center, "center"},
      {VerticalJustification::Bottom, "bottom"},
      {VerticalJustification::Justify, "justify"}};
};
template <>
struct EnumNames<ImageColorSpace> {
  static constexpr std::pair<ImageColorSpace, const char*> values[] = {{ImageColorSpace::Unknown, "unknown"},
                                                                       {ImageColorSpace::Grey, "grey"},
                                                                       {ImageColorSpace::Colour, "colour"}};
};
template <>
struct EnumNames<ColorSpace> {
  static constexpr std::pair<ColorSpace, const char*> values[] = {
      {ColorSpace::CMYK, "CMYK"}, {ColorSpace::RGB, "RGB"}, {ColorSpace::Lab, "Lab"}};
};
template <>
struct EnumNames<BaselineRelativeTo> {
  static constexpr std::pair<BaselineRelativeTo, const char*> values[] = {
      {BaselineRelativeTo::TopOfPage, "topOfPage"}, {BaselineRelativeTo::TopMargin, "topMargin"}};
};
template <>
struct EnumNames<ClassID> {
  static constexpr std::pair<ClassID, const char*> values[] = {
      {ClassID::kImageItem, "image"}, {ClassID::kPDFItem, "pdf"}, {ClassID::kEPSItem, "eps"}};
};

// The file's name for value (the table's first name for a value it lacks).
template <typename E>
const char* nameOf(E value) {
  for (const auto& [v, n] : EnumNames<E>::values)
    if (v == value) return n;
  return EnumNames<E>::values[0].second;
}

inline const char* styleListKey(StyleKind kind) {
  switch (kind) {
    case StyleKind::Paragraph: return "paragraphStyles";
    case StyleKind::Character: return "characterStyles";
    case StyleKind::Table: return "tableStyles";
    case StyleKind::Cell: return "cellStyles";
    case StyleKind::Object: break;
  }
  return "objectStyles";
}
inline constexpr StyleKind kStyleKinds[] = {StyleKind::Paragraph, StyleKind::Character, StyleKind::Table,
                                            StyleKind::Cell, StyleKind::Object};

}  // namespace korvex
