// No C++ exception may leave the component into the host's frames: 1C calls through COM,
// and an exception unwinding into it (out of memory on a huge parameter or file) would end
// 1C. Every entry point from the host runs its body through Guarded.
#pragma once
#include <utility>

template <class Result, class Body>
Result Guarded(Result onException, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return onException;
  }
}
