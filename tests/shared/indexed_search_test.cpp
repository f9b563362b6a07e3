// The white list's indexed search must answer exactly as the plain one.
#include <gtest/gtest.h>

#include <string>

#include "text.h"

namespace vendrolix {
namespace {

TEST(NoCaseFinder, AnswersAsContainsNoCase) {
  const std::string haystacks[] = {"", "a", "http://WWW.Example.com/Path?q=1", std::string("a\0b\xE9", 4), "aaaa"};
  const std::string needles[] = {"",   "a",     "A",   "example.COM", "exampl.com", "www.example.com/path?q=1x",
                                 "\xE9", "\xC9", std::string("\0b", 2), "aaaaa", "path?Q=1", "/"};
  for (const auto& h : haystacks) {
    const NoCaseFinder finder(h);
    for (const auto& n : needles) EXPECT_EQ(finder.Contains(n), ContainsNoCase(h, n)) << h << " | " << n;
  }
}

}  // namespace
}  // namespace vendrolix
