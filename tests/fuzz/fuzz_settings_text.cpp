// Settings texts: conversion must never accept what it cannot represent and
// must agree with a plain reference reading of the rule. The list of blocked
// windows, which low integrity writes, reads back as it was written.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "blocked_list.h"
#include "convert.h"
#include "text.h"

namespace {

// The rule read literally: trim spaces, optional sign, digits only, in range.
bool Reference(const std::string& text, long long low, long long high, long long& out) {
  const std::string t = vendrolix::Trim(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (i == t.size()) return false;
  long long value = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    value = value * 10 + (t[i] - '0');
    if (value > 10000000000LL) return false;
  }
  if (negative) value = -value;
  if (value < low || value > high) return false;
  out = value;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    const std::string_view stored(reinterpret_cast<const char*>(data), size);
    const auto entries = vendrolix::ParseBlockedList(stored);
    if (entries.size() > vendrolix::kBlockedEntries) std::abort();
    const std::string again = vendrolix::FormatBlockedList(entries);
    if (vendrolix::FormatBlockedList(vendrolix::ParseBlockedList(again)) != again) std::abort();
    if (vendrolix::ParseBlockedList(again).size() != entries.size()) std::abort();
    // Only web addresses are ever opened.
    for (const auto& e : entries) {
      if (vendrolix::IsOpenableAddress(e.address) && vendrolix::ToLower(e.address.substr(0, 4)) != "http") std::abort();
    }
  }

  const std::string text(reinterpret_cast<const char*>(data), size);

  std::int16_t small = 77;
  long long expected = 0;
  const bool ok16 = vendrolix::ConvertToInt16(text, small);
  if (ok16 != Reference(text, INT16_MIN, INT16_MAX, expected)) std::abort();
  if (ok16 ? small != expected : small != 77) std::abort();

  std::int32_t wide = 77;
  const bool ok32 = vendrolix::ConvertToInt32(text, wide);
  if (ok32 != Reference(text, INT32_MIN, INT32_MAX, expected)) std::abort();
  if (ok32 ? wide != expected : wide != 77) std::abort();
  if (ok16 && !ok32) std::abort();

  // Round trip of what the programs write.
  if (ok32) {
    std::int32_t again = 0;
    if (!vendrolix::ConvertToInt32(vendrolix::ToDecimalText(wide), again) || again != wide) std::abort();
  }
  return 0;
}
