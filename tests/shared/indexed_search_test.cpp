// The indexed searches must answer exactly as the plain rules they speed up.
#include <gtest/gtest.h>

#include <string>

#include "cookies.h"
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

TEST(KeepLine, AnswersAsIsKept) {
  const std::string lines[] = {"", "#a#", "#a##b#", "#joe@Site#x#y#", "##", "#a#b#c#", "no hashes", "#"};
  const std::string entries[] = {"", "a", "A", "b", "a##b", "joe@site", "x", "y", "x#y", "a#b", "c", "#", "no hashes"};
  for (const auto& line : lines) {
    cookies::KeepLine keep(line);
    for (const auto& e : entries) EXPECT_EQ(keep.Keeps(e), cookies::IsKept(line, e)) << line << " | " << e;
  }
}

TEST(HashNoCase, CaseVariantsHashAlike) {
  EXPECT_EQ(HashNoCase("Joe@Example"), HashNoCase("JOE@example"));
  EXPECT_NE(HashNoCase("caf\xE9"), HashNoCase("CAF\xC9"));  // only ASCII letters fold
}

}  // namespace
}  // namespace vendrolix
