#include "text.h"

#include <algorithm>

namespace vendrolix {

std::string Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  return std::string(text.substr(begin, end - begin));
}

std::string ToUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = UpperChar(c);
  return result;
}

std::string ToLower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = LowerChar(c);
  return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  }
  return true;
}

std::size_t FindNoCase(std::string_view haystack, std::string_view needle) {
  if (haystack.empty()) return std::string_view::npos;
  const auto found = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                                 [](char a, char b) { return UpperChar(a) == UpperChar(b); });
  return found == haystack.end() && !needle.empty() ? std::string_view::npos
                                                    : static_cast<std::size_t>(found - haystack.begin());
}

NoCaseFinder::NoCaseFinder(std::string_view haystack) : haystack_(haystack) {
  for (std::size_t i = 0; i + 1 < haystack.size(); ++i) {
    const unsigned key = (static_cast<unsigned char>(UpperChar(haystack[i])) << 8) |
                         static_cast<unsigned char>(UpperChar(haystack[i + 1]));
    pairs_[key >> 6] |= std::uint64_t{1} << (key & 63);
  }
}

bool NoCaseFinder::Contains(std::string_view needle) const {
  if (needle.size() > haystack_.size()) return false;
  if (needle.size() >= 2) {
    // The middle pair first: entries of one list tend to share their ends
    // ("www.", ".com"), so it turns most of them away at once.
    const std::size_t mid = (needle.size() - 1) / 2;
    if (!HasPair(needle[mid], needle[mid + 1])) return false;
    for (std::size_t i = 0; i + 1 < needle.size(); ++i) {
      if (!HasPair(needle[i], needle[i + 1])) return false;
    }
  }
  return FindNoCase(haystack_, needle) != std::string_view::npos;
}

bool Contains(std::string_view haystack, std::string_view needle) {
  if (haystack.empty()) return false;
  return haystack.find(needle) != std::string_view::npos;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(UpperChar(a[i]));
    const auto cb = static_cast<unsigned char>(UpperChar(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace vendrolix
