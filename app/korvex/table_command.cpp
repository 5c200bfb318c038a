#include "table_command.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "command.h"
#include "foundation/files.h"
#include "foundation/json.h"
#include "foundation/paths.h"
#include "foundation/unicode.h"
#include "foundation/value.h"
#include "tables/korvex_tab_data.h"
#include "tables/my_tab_data2.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage = "usage: korvex table FILE [--sheet NAME] [--kv]";

ArrayPtr stringArray(const std::vector<std::string>& strings) {
  auto array = std::make_shared<Array>();
  for (const std::string& s : strings) array->append(Value(s));
  return array;
}

int printJson(const DictPtr& result) {
  const std::optional<std::string> json = jsonWithValue(Value(result), true);
  if (!json) {
    std::fprintf(stderr, "korvex: the table can't be written as JSON\n");
    return kExitFailed;
  }
  std::printf("%s\n", json->c_str());
  return kExitOk;
}

int printKeyValueTable(const std::string& path) {
  std::unique_ptr<MyTabData2> table = MyTabData2::tabDataWithFile(path, 4);
  auto result = std::make_shared<Dictionary>();
  result->set("separator", Value(table->separator()));
  auto kv = std::make_shared<Dictionary>();
  for (const auto& [key, value] : table->kv()) kv->set(key, Value(value));
  result->set("kv", Value(kv));
  return printJson(result);
}

int printRowTable(const std::string& path, const std::optional<std::string>& sheet) {
  const std::string extension = toLower(pathExtension(path));
  KorvexTabData table;
  if (extension == "xml") {
    table.setupWithXMLData(path);
  } else if (extension == "json") {
    table.setupWithJSONData(path);
  } else {
    table.initWithFile(path, sheet);
  }
  if (!table.lastError().empty()) {
    std::fprintf(stderr, "korvex: %s\n", table.lastError().c_str());
    return kExitFailed;
  }
  const std::vector<std::string>& sheets = table.sheets();
  if (sheet && std::find(sheets.begin(), sheets.end(), *sheet) == sheets.end()) {
    std::string names;
    for (const std::string& name : sheets) names += (names.empty() ? "" : ", ") + name;
    std::fprintf(stderr, "korvex: %s: no worksheet named '%s' (%s)\n", path.c_str(), sheet->c_str(),
                 sheets.empty() ? "not a workbook" : ("sheets: " + names).c_str());
    return kExitFailed;
  }
  auto result = std::make_shared<Dictionary>();
  if (!sheets.empty()) {
    result->set("sheets", Value(stringArray(sheets)));
    result->set("sheet", Value(*table.sheet()));
  }
  result->set("keys", Value(stringArray(table.keys())));
  result->set("rows", Value(table.rows()));
  return printJson(result);
}

}  // namespace

int runTableCommand(std::span<const std::string> args) {
  std::optional<std::string> path;
  std::optional<std::string> sheet;
  bool keyValue = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--kv") {
      keyValue = true;
    } else if (args[i] == "--sheet" && i + 1 < args.size()) {
      sheet = args[++i];
    } else if (args[i].starts_with("-") || path) {
      return usageError(kUsage);
    } else {
      path = args[i];
    }
  }
  if (!path || (keyValue && sheet)) return usageError(kUsage);
  // The tables answer a missing file with a message box; here one line does.
  if (!pathIsFile(*path)) {
    std::fprintf(stderr, "korvex: %s: %s\n", path->c_str(), pathExists(*path) ? "not a file" : "no such file");
    return kExitFailed;
  }
  return keyValue ? printKeyValueTable(*path) : printRowTable(*path, sheet);
}

}  // namespace korvex::cli
