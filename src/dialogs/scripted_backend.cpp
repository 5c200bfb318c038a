#include "dialogs/scripted_backend.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <utility>

#include "dialogs/console_progress.h"
#include "dialogs/window_dump.h"
#include "foundation/json_node.h"
#include "foundation/read_file.h"
#include "foundation/workspace.h"

namespace korvex {

namespace {

constexpr std::pair<UiEvent::Kind, const char*> kKinds[] = {
    {UiEvent::Kind::Add, "add"},           {UiEvent::Kind::Drop, "drop"},   {UiEvent::Kind::Tab, "tab"},
    {UiEvent::Kind::Set, "set"},           {UiEvent::Kind::Press, "press"}, {UiEvent::Kind::Choose, "choose"},
    {UiEvent::Kind::Progress, "progress"}, {UiEvent::Kind::Alert, "alert"}, {UiEvent::Kind::Dump, "dump"},
};

constexpr std::pair<UiEvent::Answer, const char*> kAnswers[] = {
    {UiEvent::Answer::Continue, "continue"},
    {UiEvent::Answer::Cancel, "cancel"},
    {UiEvent::Answer::Escape, "escape"},
};

const char* kindName(UiEvent::Kind kind) {
  for (const auto& [value, name] : kKinds)
    if (value == kind) return name;
  return "?";
}

std::string absolutePath(const std::string& path) {
  return std::filesystem::absolute(path).lexically_normal().string();
}

void readControl(const JsonNode& node, UiEvent& event) {
  const JsonNode control = node.at("control");
  if (control.isString()) {
    event.controlName = control.string();
    if (event.controlName.empty()) control.fail("an empty control name");
  } else {
    event.controlTag = static_cast<int>(control.integer(1, INT32_MAX));
  }
}

std::vector<std::string> readPaths(const JsonNode& node) {
  std::vector<std::string> paths;
  for (const JsonNode& path : node.array("paths")) paths.push_back(absolutePath(path.string()));
  return paths;
}

UiEvent readEvent(const JsonNode& node) {
  UiEvent event;
  event.kind = node.at("event").choice(kKinds);
  switch (event.kind) {
    case UiEvent::Kind::Add:
    case UiEvent::Kind::Drop:
      node.expectObject({"event", "paths", "control"});
      if (!node.has("paths")) node.fail("missing \"paths\"");
      event.paths = readPaths(node);
      if (node.has("control")) readControl(node, event);
      break;
    case UiEvent::Kind::Tab:
      node.expectObject({"event", "tab", "control"});
      event.tab = node.at("tab").string();
      if (node.has("control")) readControl(node, event);
      break;
    case UiEvent::Kind::Set: {
      node.expectObject({"event", "control", "value"});
      readControl(node, event);
      const JsonNode value = node.at("value");
      if (value.isBoolean())
        event.flag = value.boolean();
      else if (value.isString())
        event.text = value.string();
      else
        event.number = value.integer(INT32_MIN, INT32_MAX);
      break;
    }
    case UiEvent::Kind::Press:
      node.expectObject({"event", "control"});
      readControl(node, event);
      break;
    case UiEvent::Kind::Choose:
      node.expectObject({"event", "paths", "cancel"});
      event.cancel = node.flag("cancel", false);
      event.paths = readPaths(node);
      if (event.cancel == !event.paths.empty()) node.fail("give either \"paths\" or \"cancel\": true");
      break;
    case UiEvent::Kind::Progress:
      node.expectObject({"event", "answer"});
      event.answer = node.at("answer").choice(kAnswers);
      break;
    case UiEvent::Kind::Alert:
      node.expectObject({"event", "button"});
      event.button = static_cast<int>(node.at("button").integer(1, 3));
      break;
    case UiEvent::Kind::Dump: node.expectObject({"event"}); break;
  }
  return event;
}

std::string describe(const UiEvent& event) {
  return event.controlName.empty() ? "tag " + std::to_string(event.controlTag.value_or(0))
                                   : "\"" + event.controlName + "\"";
}

Control* findList(Control& view) {
  if (view.kind == ControlKind::Table || view.kind == ControlKind::List) return &view;
  for (Control& child : view.children)
    if (Control* found = findList(child)) return found;
  return nullptr;
}

Control* findTabView(Control& view) {
  if (view.kind == ControlKind::TabView) return &view;
  for (Control& child : view.children)
    if (Control* found = findTabView(child)) return found;
  return nullptr;
}

// The progress window of a script: the console's lines, with Cancel and
// Escape taken from the events.
class ScriptedProgress : public ConsoleProgress {
 public:
  explicit ScriptedProgress(ScriptedDialogBackend& backend) : backend_(backend) {}
  bool escapePressed() override { return backend_.takeProgressAnswer(UiEvent::Answer::Escape); }
  // One answer per poll: "continue" or "cancel" (none left: continue).
  bool runModalSession() override {
    if (backend_.takeProgressAnswer(UiEvent::Answer::Continue)) return true;
    return !backend_.takeProgressAnswer(UiEvent::Answer::Cancel);
  }

 private:
  ScriptedDialogBackend& backend_;
};

}  // namespace

Result<UiScript> readUiScript(const std::string& path) {
  Result<std::string> text = readRegularFile(path);
  if (!text) return text.failure();
  UiScript script;
  script.path = path;
  Status read = readJson(*text, [&](const JsonNode& root) {
    if (!root.isArray()) root.fail("expected an array of events");
    for (std::size_t i = 0; i < root.size(); ++i) {
      const JsonNode node = root.at(i);
      if (!node.isObject()) node.fail("expected an event object");
      script.events.push_back(readEvent(node));
    }
  });
  if (!read) return fail(path + ": " + read.message());
  return script;
}

ScriptedDialogBackend::ScriptedDialogBackend(UiScript script, std::FILE* out)
    : script_(std::move(script)), out_(out) {}

void ScriptedDialogBackend::reportEventFailure(std::size_t index, const std::string& problem) {
  reportDialogFailure(fail(script_.path + ": event " + std::to_string(index) + " (\"" +
                           kindName(script_.events[index].kind) + "\"): " + problem));
}

int ScriptedDialogBackend::runAlert(const AlertRequest& request) {
  std::fprintf(stderr, "%s\n", request.message.c_str());
  if (!request.informativeText.empty()) std::fprintf(stderr, "%s\n", request.informativeText.c_str());
  std::fflush(stderr);
  return takeAlertAnswer(request.buttons.size());
}

int ScriptedDialogBackend::takeAlertAnswer(std::size_t buttons) {
  const UiEvent* event = peek();
  if (!event || event->kind != UiEvent::Kind::Alert) return kAlertFirstButton;
  const std::size_t index = take();
  buttons = std::max<std::size_t>(buttons, 1);
  if (static_cast<std::size_t>(event->button) > buttons) {
    reportEventFailure(index, "the alert has " + std::to_string(buttons) + " button(s)");
    return kAlertFirstButton;
  }
  return event->button == 1 ? kAlertFirstButton : event->button == 2 ? kAlertSecondButton : kAlertThirdButton;
}

void ScriptedDialogBackend::beep() {
  korvex::beep();
}

std::optional<std::vector<std::string>> ScriptedDialogBackend::runOpenPanel(const OpenPanelRequest& request) {
  const UiEvent* event = peek();
  // Without events left the chooser is cancelled, as on the console.
  if (!event) return std::nullopt;
  const std::size_t index = next_;
  if (event->kind != UiEvent::Kind::Choose) {
    reportEventFailure(index, "the chooser \"" + request.title + "\" is up; it takes a \"choose\" event");
    return std::nullopt;
  }
  ++next_;
  if (event->cancel) return std::nullopt;
  if (event->paths.size() > 1 && !request.multiple) {
    reportEventFailure(index, "the chooser \"" + request.title + "\" takes one path");
    return std::nullopt;
  }
  for (const std::string& path : event->paths) {
    if (Status checked = checkChosenPath(request, path); !checked) {
      reportEventFailure(index, checked.message());
      return std::nullopt;
    }
  }
  return event->paths;
}

bool ScriptedDialogBackend::takeProgressAnswer(UiEvent::Answer answer) {
  const UiEvent* event = peek();
  if (!event || event->kind != UiEvent::Kind::Progress || event->answer != answer) return false;
  ++next_;
  return true;
}

std::unique_ptr<ProgressWindow> ScriptedDialogBackend::makeProgressWindow(const Window*) {
  return std::make_unique<ScriptedProgress>(*this);
}

int ScriptedDialogBackend::runModalWindow(Window& window, WindowController& controller) {
  while (const UiEvent* event = peek()) {
    const std::size_t index = next_++;
    std::optional<int> answer;
    if (std::optional<std::string> problem = apply(*event, window, controller, answer)) {
      reportEventFailure(index, *problem);
      return kRunAbortedResponse;
    }
    // An action may have asked a chooser that did not fit.
    if (std::optional<Failure> failure = takeDialogFailure()) {
      reportDialogFailure(std::move(*failure));
      return kRunAbortedResponse;
    }
    if (answer) return *answer;
  }
  reportDialogFailure(fail(script_.path + ": the events ended while the window \"" + window.name +
                           "\" was up (no \"press\" closed it)"));
  return kRunAbortedResponse;
}

std::optional<std::string> ScriptedDialogBackend::findControl(const UiEvent& event, Window& window,
                                                              Control*& control) const {
  control = nullptr;
  if (event.controlName.empty() && !event.controlTag) return std::nullopt;
  control = event.controlName.empty() ? getControl(window, *event.controlTag)
                                      : controlNamed(window, event.controlName);
  if (!control) return "no control " + describe(event) + " in the window \"" + window.name + "\"";
  if (!control->enabled && event.kind != UiEvent::Kind::Tab)
    return "the control " + describe(event) + " is disabled";
  return std::nullopt;
}

std::optional<std::string> ScriptedDialogBackend::apply(const UiEvent& event, Window& window,
                                                        WindowController& controller,
                                                        std::optional<int>& answer) {
  const std::string in = " in the window \"" + window.name + "\"";
  Control* control = nullptr;
  if (std::optional<std::string> problem = findControl(event, window, control)) return problem;
  const std::string kind = control ? std::string(controlKindName(control->kind)) : "";
  switch (event.kind) {
    case UiEvent::Kind::Dump: {
      const std::string text = dumpWindow(window).dump();
      std::fprintf(out_, "%s\n", text.c_str());
      std::fflush(out_);
      return std::nullopt;
    }
    case UiEvent::Kind::Add:
    case UiEvent::Kind::Drop: {
      if (!control) control = findList(window.content);
      if (!control) return "no table or list" + in;
      if (control->kind != ControlKind::Table && control->kind != ControlKind::List)
        return "the control " + describe(event) + " is a " + kind + ", not a table or list";
      if (event.kind == UiEvent::Kind::Add)
        controller.addPaths(window, *control, event.paths);
      else if (controller.validateDrop(window, *control, event.paths))
        controller.dropPaths(window, *control, event.paths);
      return std::nullopt;
    }
    case UiEvent::Kind::Tab: {
      if (!control) control = findTabView(window.content);
      if (!control) return "no tab view" + in;
      if (control->kind != ControlKind::TabView)
        return "the control " + describe(event) + " is a " + kind + ", not a tab view";
      if (selectTabWithIdentifier(*control, event.tab)) return std::nullopt;
      for (std::size_t i = 0; i < control->children.size(); ++i) {
        if (control->children[i].text == event.tab) {
          control->selected = static_cast<int>(i);
          return std::nullopt;
        }
      }
      return "no tab \"" + event.tab + "\" (by identifier or label)";
    }
    case UiEvent::Kind::Set:
      switch (control->kind) {
        case ControlKind::CheckBox:
        case ControlKind::Button:
          if (event.text) return "the " + kind + " " + describe(event) + " takes true, false or a number";
          control->state = event.flag ? (*event.flag ? 1 : 0) : static_cast<int>(*event.number);
          return std::nullopt;
        case ControlKind::TextField:
        case ControlKind::TextView:
          if (!event.text) return "the " + kind + " " + describe(event) + " takes a text";
          control->text = *event.text;
          return std::nullopt;
        case ControlKind::PopUp:
          for (std::size_t i = 0; i < control->items.size(); ++i) {
            const MenuItem& item = control->items[i];
            if (item.separator) continue;
            if ((event.text && item.title == *event.text) || (event.number && item.tag == *event.number)) {
              control->selected = static_cast<int>(i);
              if (!actionOf(*control).empty()) answer = controller.performAction(window, *control);
              return std::nullopt;
            }
          }
          if (event.flag) return "the popup " + describe(event) + " takes an item's title or tag";
          return "the popup " + describe(event) + " has no item " +
                 (event.text ? "\"" + *event.text + "\"" : "with tag " + std::to_string(*event.number));
        case ControlKind::Table:
        case ControlKind::List: {
          // One row by its text or its index; -1 selects none.
          std::optional<int> row;
          if (event.number && *event.number >= -1 &&
              *event.number < static_cast<long long>(control->rows.size()))
            row = static_cast<int>(*event.number);
          for (std::size_t i = 0; event.text && i < control->rows.size() && !row; ++i)
            if (control->rows[i] == *event.text) row = static_cast<int>(i);
          if (!row)
            return "the " + kind + " " + describe(event) + " has no row " +
                   (event.text     ? "\"" + *event.text + "\""
                    : event.number ? std::to_string(*event.number)
                                   : "");
          control->selectedRows.clear();
          if (*row >= 0) control->selectedRows.push_back(*row);
          controller.selectionChanged(window, *control);
          return std::nullopt;
        }
        case ControlKind::TabView: {
          const std::string identifier = event.text     ? *event.text
                                         : event.number ? std::to_string(*event.number)
                                                        : "";
          if (selectTabWithIdentifier(*control, identifier)) return std::nullopt;
          return "the tabview " + describe(event) + " has no tab \"" + identifier + "\"";
        }
        default: return "the " + kind + " " + describe(event) + " can't be set";
      }
    case UiEvent::Kind::Press:
      if (control->kind == ControlKind::CheckBox) {
        control->state = control->state ? 0 : 1;
      } else if (control->kind != ControlKind::Button) {
        return "the " + kind + " " + describe(event) + " can't be pressed";
      }
      answer = controller.performAction(window, *control);
      return std::nullopt;
    case UiEvent::Kind::Choose: return "no chooser is up";
    case UiEvent::Kind::Progress: return "no progress window is up";
    case UiEvent::Kind::Alert: return "no alert is up";
  }
  return std::nullopt;
}

}  // namespace korvex
