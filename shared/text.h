// Text rules shared by every program of the suite.
//
// Texts are ANSI bytes. "Trim" removes spaces (0x20) only. Letter case is
// folded for the ASCII letters only, by one rule used for every comparison
// "without regard to case", so the manager, the browser helper and the
// cleaner always agree on what matches.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrolix {

std::string Trim(std::string_view text);

inline char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
inline char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);

bool EqualsNoCase(std::string_view a, std::string_view b);

// Position of needle in haystack ignoring case, or npos. An empty needle is
// found at 0 in a non-empty haystack; nothing is found in an empty haystack.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle);

inline bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  return FindNoCase(haystack, needle) != std::string_view::npos;
}

// ContainsNoCase for one haystack and many needles (a white list against one
// address, many site entries against one keep line). The haystack is indexed
// once by the letter pairs it holds, so a needle with a pair the haystack
// lacks is turned away without a search. The haystack must outlive the finder.
class NoCaseFinder {
 public:
  explicit NoCaseFinder(std::string_view haystack);
  bool Contains(std::string_view needle) const;

 private:
  bool HasPair(char a, char b) const {
    const unsigned key = (static_cast<unsigned char>(UpperChar(a)) << 8) | static_cast<unsigned char>(UpperChar(b));
    return (pairs_[key >> 6] >> (key & 63)) & 1;
  }

  std::string_view haystack_;
  std::uint64_t pairs_[65536 / 64] = {};
};

// Plain, case-sensitive containment with the same empty-text rule.
bool Contains(std::string_view haystack, std::string_view needle);

// Case-insensitive ordering, for sorted lists and sets.
int CompareNoCase(std::string_view a, std::string_view b);

struct LessNoCase {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return CompareNoCase(a, b) < 0; }
};

bool EndsWithNoCase(std::string_view text, std::string_view suffix);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace vendrolix
