#pragma once

// The main run loop of the command-line host: one-shot timers that fire when
// the loop runs, in the order they fall due. While a modal session is up no
// timer fires; they wait until it ends (as timers of the default mode do).

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace korvex {

class RunLoop {
 public:
  using Clock = std::chrono::steady_clock;

  static RunLoop& main();

  // A one-shot timer due after the delay (a negative delay counts as 0).
  void addTimer(Clock::duration delay, std::function<void()> fire);
  std::size_t pendingTimers() const { return timers_.size(); }
  std::optional<Clock::time_point> nextFireDate() const;
  // Drops every pending timer.
  void removeAllTimers() { timers_.clear(); }

  // Fires the timers due now, unless a modal session is up. Timers armed by
  // them wait for the next round, so a timer that re-arms itself with no
  // delay cannot starve the loop. Answers how many fired.
  std::size_t runDueTimers();
  // Runs, sleeping until each timer is due, until stop() is called, the
  // deadline passes, no timer is left, or a modal session blocks them all.
  void runUntil(Clock::time_point deadline);
  void run() { runUntil(Clock::time_point::max()); }
  // Ends the current runUntil after the timer in hand.
  void stop() { stopped_ = true; }

  bool isModal() const { return modalDepth_ > 0; }

 private:
  friend class ModalSession;

  struct Key {
    Clock::time_point due;
    std::uint64_t sequence;
    auto operator<=>(const Key&) const = default;
  };

  std::map<Key, std::function<void()>> timers_;
  std::uint64_t nextSequence_ = 0;
  int modalDepth_ = 0;
  bool stopped_ = false;
};

// A modal session of the main run loop, for as long as the object lives.
class ModalSession {
 public:
  ModalSession() { ++RunLoop::main().modalDepth_; }
  ~ModalSession() { --RunLoop::main().modalDepth_; }
  ModalSession(const ModalSession&) = delete;
  ModalSession& operator=(const ModalSession&) = delete;
};

using TimerProc = void (*)(void* userData);

// A one-shot timer on the main run loop: proc(userData) once, after the given
// seconds (negative or not a number: at the next run; capped at a year).
void runTimerProc(TimerProc proc, float seconds, void* userData);

}  // namespace korvex
