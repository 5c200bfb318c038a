#include "host/script_runner.h"

namespace korvex {

IScriptRunner* scriptRunnerForFile(Session& session, const IDFile& file) {
  for (Service* service : session.services().services(ServiceKind::ScriptRunner)) {
    auto* runner = dynamic_cast<IScriptRunner*>(service);
    if (runner && runner->CanHandleFile(file)) return runner;
  }
  return nullptr;
}

}  // namespace korvex
