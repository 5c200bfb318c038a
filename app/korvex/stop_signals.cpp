#include "stop_signals.h"

#include <csignal>

namespace korvex::cli {

namespace {

volatile std::sig_atomic_t gStop = 0;

extern "C" void requestStop(int) {
  gStop = 1;
}

}  // namespace

bool stopRequested() {
  return gStop != 0;
}

StopSignals::StopSignals() {
  gStop = 0;
  _int = std::signal(SIGINT, requestStop);
  _term = std::signal(SIGTERM, requestStop);
}

StopSignals::~StopSignals() {
  std::signal(SIGINT, _int);
  std::signal(SIGTERM, _term);
}

}  // namespace korvex::cli
