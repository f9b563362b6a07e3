// Time limits of the bench's programs, stretched by VENDROLIX_TIME_SCALE (2
// to 100) for runs whose 32-bit programs go through an emulator, which is
// how a machine without 32-bit execution reproduces a 32-bit case.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdlib>

namespace vendrolix::test {

inline long TimeScale() {
  char text[16];
  const DWORD n = GetEnvironmentVariableA("VENDROLIX_TIME_SCALE", text, sizeof text);
  const long scale = (n > 0 && n < sizeof text) ? std::strtol(text, nullptr, 10) : 1;
  return scale > 1 && scale <= 100 ? scale : 1;
}

inline std::chrono::milliseconds Stretched(std::chrono::milliseconds limit) { return limit * TimeScale(); }

inline DWORD StretchedMs(DWORD limit) { return limit * static_cast<DWORD>(TimeScale()); }

// The bench's own clock for what it times: microseconds of the performance
// counter.
inline double Microseconds() {
  static const double perSecond = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e6 / perSecond;
}

}  // namespace vendrolix::test
