#pragma once

// MyPool: the autorelease scope every entry from the host runs in
// (construction opens a pool, destruction releases it). Linux has no
// autorelease pools, so the scope releases nothing; it stays so that callers
// read as written and a scope-bound cleanup has its place.

namespace korvex {

class MyPool {
 public:
  MyPool() = default;
  ~MyPool() = default;
  MyPool(const MyPool&) = delete;
  MyPool& operator=(const MyPool&) = delete;
};

}  // namespace korvex
