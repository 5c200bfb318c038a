#include "dialogs/console_progress.h"

#include <unistd.h>

#include <string>

namespace korvex {

namespace {
volatile std::sig_atomic_t gCancelled = 0;
extern "C" void onInterrupt(int) {
  gCancelled = 1;
}
constexpr std::size_t kBarWidth = 30;
}  // namespace

InterruptCancels::InterruptCancels() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &former_);
}

InterruptCancels::~InterruptCancels() {
  sigaction(SIGINT, &former_, nullptr);
}

bool InterruptCancels::cancelled() {
  return gCancelled != 0;
}
void InterruptCancels::reset() {
  gCancelled = 0;
}
void InterruptCancels::cancel() {
  gCancelled = 1;
}

ConsoleProgress::ConsoleProgress(std::FILE* out) : _out(out), _live(out && ::isatty(::fileno(out)) == 1) {}

ConsoleProgress::~ConsoleProgress() {
  end();
}

void ConsoleProgress::begin(std::size_t count) {
  _count = count;
  _session = std::make_unique<ModalSession>();
  _interrupts.emplace();
  if (_out && !_title.empty()) {
    std::fprintf(_out, "%s\n", _title.c_str());
    std::fflush(_out);
  }
}

void ConsoleProgress::setLabel(std::size_t index, std::string_view name) {
  if (!_out) return;
  const std::string counter = "[" + std::to_string(index + 1) + "/" + std::to_string(_count) + "] ";
  if (!_live) {
    std::fprintf(_out, "%s%.*s\n", counter.c_str(), static_cast<int>(name.size()), name.data());
  } else {
    const std::size_t filled = _count ? kBarWidth * index / _count : 0;
    const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '-');
    // \033[K clears what a longer name left behind.
    std::fprintf(_out, "\r[%s] %s%.*s\033[K", bar.c_str(), counter.c_str(), static_cast<int>(name.size()),
                 name.data());
    _lineOpen = true;
  }
  std::fflush(_out);
}

bool ConsoleProgress::escapePressed() {
  return InterruptCancels::cancelled();
}

bool ConsoleProgress::runModalSession() {
  return !InterruptCancels::cancelled();
}

void ConsoleProgress::end() {
  if (_out && _lineOpen) {
    std::fputc('\n', _out);
    std::fflush(_out);
    _lineOpen = false;
  }
  _interrupts.reset();
  _session.reset();
}

}  // namespace korvex
