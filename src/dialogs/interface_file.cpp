#include "dialogs/interface_file.h"

#include <libxml/parser.h>

#include <charconv>
#include <climits>
#include <map>
#include <string_view>

#include "dialogs/message_box.h"
#include "foundation/bundle.h"
#include "foundation/read_file.h"
#include "foundation/xml.h"

namespace korvex {

namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS;

// A problem inside the file; readInterfaceFile puts the path in front.
struct UiProblem {
  std::string message;
};

// Reasons are one line: libxml2's messages and values quoted from the file may hold line breaks.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool isElement(xmlNodePtr node, std::string_view name) {
  return node && node->type == XML_ELEMENT_NODE &&
         std::string_view(reinterpret_cast<const char*>(node->name)) == name;
}

std::string attribute(xmlNodePtr node, const char* name) {
  return stringForAttribute(node, name).value_or("");
}

std::string widgetLabel(xmlNodePtr widget) {
  const std::string name = attribute(widget, "name");
  return "widget \"" + (name.empty() ? attribute(widget, "class") : name) + "\"";
}

// The text of a property's value element (<string>, <number>, <bool>,
// <enum>, <cstring>), or none when it has none of them.
std::optional<std::string> propertyValue(xmlNodePtr property) {
  for (xmlNodePtr value = property->children; value; value = value->next) {
    if (isElement(value, "string") || isElement(value, "number") || isElement(value, "bool") ||
        isElement(value, "enum") || isElement(value, "cstring") || isElement(value, "double"))
      return xmlStringValue(value);
  }
  return std::nullopt;
}

// Every <property> and <attribute> directly inside the node, by name.
std::map<std::string, std::string> properties(xmlNodePtr node) {
  std::map<std::string, std::string> result;
  for (xmlNodePtr child = node->children; child; child = child->next) {
    if (!isElement(child, "property") && !isElement(child, "attribute")) continue;
    if (std::optional<std::string> value = propertyValue(child)) result[attribute(child, "name")] = *value;
  }
  return result;
}

int integerProperty(xmlNodePtr widget, const std::string& property, const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end)
    throw UiProblem{widgetLabel(widget) + ": " + property + " \"" + text + "\" is not a whole number"};
  return value;
}

double numberProperty(xmlNodePtr widget, const std::string& property, const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end)
    throw UiProblem{widgetLabel(widget) + ": " + property + " \"" + text + "\" is not a number"};
  return value;
}

ControlKind kindOfClass(std::string_view widgetClass) {
  static const std::map<std::string_view, ControlKind> kKinds = {
      {"QLabel", ControlKind::Label},           {"QLineEdit", ControlKind::TextField},
      {"QPlainTextEdit", ControlKind::TextView}, {"QTextEdit", ControlKind::TextView},
      {"QTextBrowser", ControlKind::TextView},   {"QCheckBox", ControlKind::CheckBox},
      {"QPushButton", ControlKind::Button},      {"QToolButton", ControlKind::Button},
      {"QRadioButton", ControlKind::Button},     {"QComboBox", ControlKind::PopUp},
      {"QTabWidget", ControlKind::TabView},      {"QTableWidget", ControlKind::Table},
      {"QTableView", ControlKind::Table},        {"QTreeWidget", ControlKind::Table},
      {"QListWidget", ControlKind::List},        {"QListView", ControlKind::List},
      {"QProgressBar", ControlKind::ProgressBar}, {"QGroupBox", ControlKind::Box},
      {"QScrollArea", ControlKind::ScrollView},
  };
  auto it = kKinds.find(widgetClass);
  return it == kKinds.end() ? ControlKind::View : it->second;
}

Control readWidget(xmlNodePtr widget, ControlKind kind);

// The widgets inside the node, through its layouts, in file order.
void readChildren(xmlNodePtr node, Control& parent) {
  for (xmlNodePtr child = node->children; child; child = child->next) {
    if (isElement(child, "widget")) {
      ControlKind kind = kindOfClass(attribute(child, "class"));
      // A tab view's direct widgets are its pages.
      if (parent.kind == ControlKind::TabView) kind = ControlKind::Tab;
      parent.children.push_back(readWidget(child, kind));
    } else if (isElement(child, "layout") || isElement(child, "item")) {
      readChildren(child, parent);
    }
  }
}

// A pop-up's or list's <item>s: the text of each.
std::vector<std::string> itemTexts(xmlNodePtr widget) {
  std::vector<std::string> texts;
  for (xmlNodePtr item = widget->children; item; item = item->next) {
    if (!isElement(item, "item")) continue;
    const auto props = properties(item);
    auto text = props.find("text");
    texts.push_back(text == props.end() ? std::string() : text->second);
  }
  return texts;
}

std::vector<std::string> columnTexts(xmlNodePtr widget) {
  std::vector<std::string> texts;
  for (xmlNodePtr column = widget->children; column; column = column->next) {
    if (!isElement(column, "column")) continue;
    const auto props = properties(column);
    auto text = props.find("text");
    texts.push_back(text == props.end() ? std::string() : text->second);
  }
  return texts;
}

std::vector<int> itemTags(xmlNodePtr widget, const std::string& list) {
  std::vector<int> tags;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string part = list.substr(start, end - start);
    while (!part.empty() && part.front() == ' ') part.erase(part.begin());
    while (!part.empty() && part.back() == ' ') part.pop_back();
    tags.push_back(integerProperty(widget, "itemTags", part));
    start = end + 1;
  }
  return tags;
}

Control readWidget(xmlNodePtr widget, ControlKind kind) {
  Control control;
  control.kind = kind;
  control.name = attribute(widget, "name");
  const auto props = properties(widget);
  auto get = [&](const char* name) -> const std::string* {
    auto it = props.find(name);
    return it == props.end() ? nullptr : &it->second;
  };
  if (const std::string* tag = get("tag")) control.tag = integerProperty(widget, "tag", *tag);
  if (const std::string* action = get("action")) control.action = *action;
  if (const std::string* enabled = get("enabled")) control.enabled = *enabled != "false";
  switch (kind) {
    case ControlKind::Label:
    case ControlKind::TextField:
    case ControlKind::Button:
    case ControlKind::CheckBox:
      if (const std::string* text = get("text")) control.text = *text;
      if (const std::string* checked = get("checked")) control.state = *checked == "true" ? 1 : 0;
      break;
    case ControlKind::TextView:
      if (const std::string* text = get("plainText")) control.text = *text;
      break;
    case ControlKind::Box:
      if (const std::string* title = get("title")) control.text = *title;
      break;
    case ControlKind::Tab:
      if (const std::string* title = get("title")) control.text = *title;
      if (const std::string* identifier = get("identifier")) control.identifier = *identifier;
      break;
    case ControlKind::PopUp: {
      for (std::string& title : itemTexts(widget)) control.items.push_back(menuItemTitled(std::move(title)));
      if (const std::string* tags = get("itemTags")) {
        std::vector<int> values = itemTags(widget, *tags);
        if (values.size() != control.items.size())
          throw UiProblem{widgetLabel(widget) + ": itemTags has " + std::to_string(values.size()) +
                          " tags for " + std::to_string(control.items.size()) + " items"};
        for (std::size_t i = 0; i < values.size(); ++i) control.items[i].tag = values[i];
      }
      control.selected = control.items.empty() ? -1 : 0;
      if (const std::string* current = get("currentIndex")) {
        const int index = integerProperty(widget, "currentIndex", *current);
        if (index >= 0 && index < static_cast<int>(control.items.size())) control.selected = index;
      }
      break;
    }
    case ControlKind::Table:
    case ControlKind::List:
      control.columns = columnTexts(widget);
      control.rows = itemTexts(widget);
      break;
    case ControlKind::ProgressBar:
      if (const std::string* minimum = get("minimum")) control.minimum = numberProperty(widget, "minimum", *minimum);
      if (const std::string* maximum = get("maximum")) control.maximum = numberProperty(widget, "maximum", *maximum);
      if (const std::string* value = get("value")) control.value = numberProperty(widget, "value", *value);
      break;
    default: break;
  }
  // Table widgets keep their cells as <item row= column=>; lists as plain items.
  if (kind != ControlKind::PopUp && kind != ControlKind::Table && kind != ControlKind::List)
    readChildren(widget, control);
  if (kind == ControlKind::TabView) {
    for (std::size_t i = 0; i < control.children.size(); ++i)
      if (control.children[i].identifier.empty()) control.children[i].identifier = std::to_string(i + 1);
    control.selected = control.children.empty() ? -1 : 0;
    if (const std::string* current = get("currentIndex")) {
      const int index = integerProperty(widget, "currentIndex", *current);
      if (index >= 0 && index < static_cast<int>(control.children.size())) control.selected = index;
    }
  }
  return control;
}

}  // namespace

Result<Window> readInterfaceFile(const std::string& path) {
  Result<std::string> bytes = readRegularFile(path);
  if (!bytes) return bytes.failure();
  if (bytes->size() > INT_MAX) return fail(path + ": too large for an interface file");
  xmlInitParser();
  xmlResetLastError();
  XmlDocument doc(xmlReadMemory(bytes->data(), static_cast<int>(bytes->size()), nullptr, nullptr, kParseOptions));
  if (!doc || !doc.root()) {
    const xmlError* error = xmlGetLastError();
    const std::string reason = oneLine(error && error->message ? error->message : "not XML");
    const std::string line = error && error->line > 0 ? ":" + std::to_string(error->line) : "";
    return fail(path + line + ": " + reason);
  }
  if (!isElement(doc.root(), "ui")) return fail(path + ": not an interface file (the root element is not <ui>)");
  xmlNodePtr top = nullptr;
  for (xmlNodePtr child = doc.root()->children; child && !top; child = child->next)
    if (isElement(child, "widget")) top = child;
  if (!top) return fail(path + ": the interface file has no window (no top-level <widget>)");
  try {
    Window window;
    window.content = readWidget(top, ControlKind::View);
    window.name = window.content.name;
    window.sourcePath = path;
    const auto props = properties(top);
    if (auto title = props.find("windowTitle"); title != props.end()) window.title = title->second;
    return window;
  } catch (const UiProblem& problem) {
    return fail(path + ": " + oneLine(problem.message));
  }
}

bool loadNib(const std::string& resourcesFolder, const std::string& name, Window& window) {
  const std::string path = resourcesFolder + "/" + name + ".ui";
  Result<Window> loaded = readInterfaceFile(path);
  if (!loaded) {
    setMsg2(std::optional<std::string>(loaded.message()));
    msgBox(std::string("Error loading nib: %@"), name);
    return false;
  }
  loaded->name = name;
  window = std::move(*loaded);
  return true;
}

bool loadNib(const std::string& name, Window& window) {
  return loadNib(bundleResourcesPath(), name, window);
}

}  // namespace korvex
