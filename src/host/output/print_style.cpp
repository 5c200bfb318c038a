#include "host/output/print_style.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "foundation/folders.h"
#include "foundation/json_node.h"

namespace korvex {

namespace {

UserStyleStore userPrintStyleStore() {
  return UserStyleStore(userPrintStylesFolder(), {kDefaultPrintStyleKey});
}

}  // namespace

std::string userPrintStylesFolder() {
  return applicationSupportDirectory() + "/korvex-host/print-styles";
}

std::string printStyleToJson(const PrintStyle& style) {
  nlohmann::ordered_json j;
  j["destination"] = style.destination;
  j["printer"] = style.printer;
  j["outputFile"] = style.outputFile;
  j["spreads"] = style.spreads;
  j["copies"] = style.copies;
  return j.dump(2) + "\n";
}

Result<PrintStyle> printStyleFromJson(const std::string& text, const std::string& name) {
  PrintStyle style{.name = name};
  Status read = readJson(text, [&style](const JsonNode& root) {
    root.expectObject({"destination", "printer", "outputFile", "spreads", "copies"});
    if (root.has("destination"))
      style.destination =
          static_cast<int>(root.at("destination").integer(kPrintToPrinter, kPrintToFileSpread));
    style.printer = root.str("printer", style.printer);
    style.outputFile = root.str("outputFile", style.outputFile);
    style.spreads = root.flag("spreads", style.spreads);
    if (root.has("copies")) style.copies = static_cast<int>(root.at("copies").integer(1, 999));
    // The printer name goes to lp as one argument; refuse what lp would read as an option.
    if (style.printer.starts_with('-')) root.at("printer").fail("a printer name can't begin with \"-\"");
  });
  if (!read) return read.failure();
  return style;
}

PrintStyleList PrintStyleList::load() {
  PrintStyleList list({PrintStyle{.name = kDefaultPrintStyleKey}});
  auto user = userPrintStyleStore().load<PrintStyle>(printStyleFromJson);
  for (PrintStyle& style : user.styles) list.styles_.push_back(std::move(style));
  list.refusals_ = std::move(user.refusals);
  return list;
}

int PrintStyleList::indexOf(const std::string& name) const {
  for (std::size_t i = 0; i < styles_.size(); ++i)
    if (styles_[i].name == name) return static_cast<int>(i);
  return -1;
}

const PrintStyle* PrintStyleList::find(const std::string& name) const {
  const int i = indexOf(name);
  return i < 0 ? nullptr : &styles_[static_cast<std::size_t>(i)];
}

PrintStyle* PrintStyleList::find(const std::string& name) {
  const int i = indexOf(name);
  return i < 0 ? nullptr : &styles_[static_cast<std::size_t>(i)];
}

ErrorCode addUserPrintStyle(const PrintStyle& style, std::string* message) {
  const Status saved = userPrintStyleStore().save(style.name, printStyleToJson(style));
  if (!saved && message) *message = saved.message();
  return saved.code();
}

}  // namespace korvex
