#include "host/idml/idml_xml.h"

#include <cstdio>
#include <sstream>

namespace korvex::idml {

std::string formatNumber(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.10g", v);
  return buffer;
}

std::string formatNumbers(std::initializer_list<double> values) {
  std::string out;
  for (double v : values) out += (out.empty() ? "" : " ") + formatNumber(v);
  return out;
}

std::vector<double> parseNumbers(const std::string& text) {
  std::vector<double> out;
  std::istringstream in(text);
  double v;
  while (in >> v) out.push_back(v);
  return out;
}

void setAttr(xmlNodePtr node, const char* name, const std::string& value) {
  xmlSetProp(node, xmlChars(name), xmlChars(value.c_str()));
}

std::string attr(xmlNodePtr node, const char* name) {
  xmlChar* v = xmlGetProp(node, xmlChars(name));
  if (!v) return {};
  std::string out(reinterpret_cast<const char*>(v));
  xmlFree(v);
  return out;
}

bool named(xmlNodePtr node, const char* name) {
  return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, xmlChars(name)) == 0;
}

xmlNodePtr childNamed(xmlNodePtr parent, const char* name) {
  for (xmlNodePtr c = parent->children; c; c = c->next)
    if (named(c, name)) return c;
  return nullptr;
}

std::string matrixText(const PMMatrix& m) {
  return formatNumbers({m.a, m.b, m.c, m.d, m.tx, m.ty});
}

PMMatrix parseMatrix(const std::string& text) {
  const auto v = parseNumbers(text);
  if (v.size() != 6) return {};
  return {v[0], v[1], v[2], v[3], v[4], v[5]};
}

}  // namespace korvex::idml
