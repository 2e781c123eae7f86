#pragma once

#include <unistd.h>

#include <chrono>

namespace axtest {

template <typename F>
bool WaitUntil(F check, int timeout_s) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
  while (!check()) {
    if (std::chrono::steady_clock::now() > end) return false;
    usleep(20000);
  }
  return true;
}

}  // namespace axtest
