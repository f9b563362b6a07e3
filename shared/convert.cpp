#include "convert.h"

namespace vendrolix {
namespace {

bool ConvertInRange(std::string_view text, long long low, long long high, long long& result) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  if (begin == end) return false;

  bool negative = false;
  if (text[begin] == '+' || text[begin] == '-') {
    negative = text[begin] == '-';
    ++begin;
  }
  if (begin == end) return false;

  // Accumulate as a negative magnitude would overflow nothing here: stop as
  // soon as the value leaves the range, however many digits follow.
  long long value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > high + 1) return false;
  }
  if (negative) value = -value;
  if (value < low || value > high) return false;
  result = value;
  return true;
}

}  // namespace

bool ConvertToInt16(std::string_view text, std::int16_t& target) {
  long long value = 0;
  if (!ConvertInRange(text, INT16_MIN, INT16_MAX, value)) return false;
  target = static_cast<std::int16_t>(value);
  return true;
}

bool ConvertToInt32(std::string_view text, std::int32_t& target) {
  long long value = 0;
  if (!ConvertInRange(text, INT32_MIN, INT32_MAX, value)) return false;
  target = static_cast<std::int32_t>(value);
  return true;
}

bool CleaningSwitchOn(const std::optional<std::string>& stored) {
  std::int16_t value = 0;
  return stored && ConvertToInt16(*stored, value) && value == 1;
}

std::string ToDecimalText(long long value) { return std::to_string(value); }

}  // namespace vendrolix
