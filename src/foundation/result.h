#pragma once

// The outcome of a fallible operation of the project's own code: a value, or
// a failure with an error code and a one-line message that names the file (or
// the place) and the problem. The host-shaped surfaces keep answering an
// ErrorCode; this is for the project's own APIs (stores, readers, writers).
//
//   Result<Table> table = readTable(path);
//   if (!table) { log(table.message()); return false; }
//   use(*table);

#include <string>
#include <utility>
#include <variant>

namespace korvex {

struct Failure {
  int code = 1;  // never 0: 0 is success everywhere in the host
  std::string message;
};

// A failure with the generic code 1 unless one is given.
inline Failure fail(std::string message, int code = 1) {
  return Failure{code == 0 ? 1 : code, std::move(message)};
}

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // Only on success.
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  // 0 on success.
  int code() const { return ok() ? 0 : std::get<1>(state_).code; }
  // Empty on success.
  const std::string& message() const {
    static const std::string kNone;
    return ok() ? kNone : std::get<1>(state_).message;
  }
  // Only on failure: passes it on to a caller with another value type.
  const Failure& failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failed_(true), failure_(std::move(failure)) {}

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  int code() const { return failed_ ? failure_.code : 0; }
  const std::string& message() const { return failure_.message; }
  const Failure& failure() const { return failure_; }

 private:
  bool failed_ = false;
  Failure failure_;
};

// Success or a failure, nothing else to hand back.
using Status = Result<void>;

}  // namespace korvex
