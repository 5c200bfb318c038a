#include "dialogs/run_loop.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <utility>
#include <vector>

namespace korvex {

RunLoop& RunLoop::main() {
  static RunLoop loop;
  return loop;
}

void RunLoop::addTimer(Clock::duration delay, std::function<void()> fire) {
  if (delay < Clock::duration::zero()) delay = Clock::duration::zero();
  timers_.emplace(Key{Clock::now() + delay, nextSequence_++}, std::move(fire));
}

std::optional<RunLoop::Clock::time_point> RunLoop::nextFireDate() const {
  if (timers_.empty()) return std::nullopt;
  return timers_.begin()->first.due;
}

std::size_t RunLoop::runDueTimers() {
  if (isModal()) return 0;
  const Clock::time_point now = Clock::now();
  std::vector<std::function<void()>> due;
  while (!timers_.empty() && timers_.begin()->first.due <= now) {
    due.push_back(std::move(timers_.begin()->second));
    timers_.erase(timers_.begin());
  }
  std::size_t fired = 0;
  for (std::function<void()>& fire : due) {
    // A timer may open a modal session that outlives it; the rest then wait.
    if (isModal()) {
      timers_.emplace(Key{now, nextSequence_++}, std::move(fire));
      continue;
    }
    fire();
    ++fired;
  }
  return fired;
}

void RunLoop::runUntil(Clock::time_point deadline) {
  stopped_ = false;
  while (!stopped_ && !timers_.empty() && !isModal()) {
    Clock::time_point next = timers_.begin()->first.due;
    if (next > deadline) {
      std::this_thread::sleep_until(deadline);
      break;
    }
    std::this_thread::sleep_until(next);
    runDueTimers();
  }
  stopped_ = false;
}

void runTimerProc(TimerProc proc, float seconds, void* userData) {
  if (!proc) return;
  constexpr double kYear = 365.0 * 24 * 3600;
  double delay = std::isnan(seconds) ? 0.0 : std::clamp(static_cast<double>(seconds), 0.0, kYear);
  RunLoop::main().addTimer(
      std::chrono::duration_cast<RunLoop::Clock::duration>(std::chrono::duration<double>(delay)),
      [proc, userData] { proc(userData); });
}

}  // namespace korvex
