#include "dialogs/window_dump.h"

#include <nlohmann/json.hpp>

namespace korvex {

namespace {

void dumpChildren(const Control& view, OrderedJson& list);

OrderedJson dumpControl(const Control& control) {
  OrderedJson json = OrderedJson::object();
  json["kind"] = std::string(controlKindName(control.kind));
  if (!control.name.empty()) json["name"] = control.name;
  if (control.tag != 0) json["tag"] = control.tag;
  switch (control.kind) {
    case ControlKind::Label:
    case ControlKind::TextField:
    case ControlKind::TextView:
    case ControlKind::Button:
    case ControlKind::Box: json["text"] = control.text; break;
    case ControlKind::CheckBox:
      json["text"] = control.text;
      json["state"] = control.state;
      break;
    case ControlKind::Tab:
      json["identifier"] = control.identifier;
      json["text"] = control.text;
      break;
    case ControlKind::PopUp: {
      OrderedJson items = OrderedJson::array();
      for (const MenuItem& item : control.items) {
        if (item.separator)
          items.push_back("-");
        else if (item.tag != 0)
          items.push_back(OrderedJson{{"title", item.title}, {"tag", item.tag}});
        else
          items.push_back(item.title);
      }
      json["items"] = std::move(items);
      const MenuItem* item = selectedItem(control);
      json["selected"] = item ? OrderedJson(item->title) : OrderedJson(nullptr);
      break;
    }
    case ControlKind::TabView: {
      const Control* tab = selectedTab(control);
      json["selected"] = tab ? OrderedJson(tab->identifier) : OrderedJson(nullptr);
      break;
    }
    case ControlKind::Table:
    case ControlKind::List:
      if (!control.columns.empty()) json["columns"] = control.columns;
      json["rows"] = control.rows;
      if (!control.selectedRows.empty()) json["selectedRows"] = control.selectedRows;
      break;
    case ControlKind::ProgressBar:
      json["minimum"] = control.minimum;
      json["maximum"] = control.maximum;
      json["value"] = control.value;
      break;
    default: break;
  }
  if (!control.enabled) json["enabled"] = false;
  OrderedJson children = OrderedJson::array();
  dumpChildren(control, children);
  if (!children.empty()) json["controls"] = std::move(children);
  return json;
}

void dumpChildren(const Control& view, OrderedJson& list) {
  for (const Control& child : view.children) {
    if (child.kind == ControlKind::View || child.kind == ControlKind::ScrollView)
      dumpChildren(child, list);
    else
      list.push_back(dumpControl(child));
  }
}

}  // namespace

OrderedJson dumpWindow(const Window& window) {
  OrderedJson json = OrderedJson::object();
  json["window"] = window.name;
  json["title"] = window.title;
  OrderedJson controls = OrderedJson::array();
  dumpChildren(window.content, controls);
  json["controls"] = std::move(controls);
  return json;
}

}  // namespace korvex
