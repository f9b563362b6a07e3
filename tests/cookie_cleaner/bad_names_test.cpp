// Odd cookie file names: the site entry the manager lists for each and what
// the cleaner does with the file when no keep list spares it. The two must
// agree: a file is deleted only if it is a cookie file, and a listed site's
// files only when unticked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cleaning.h"
#include "cookie_logic.h"
#include "cookies.h"

namespace vendrolix::cleaner {
namespace {

TEST(BadCookieNames, EntryListingAndDeletion) {
  const std::string long300(300, 'a');
  const struct Row {
    std::string name;
    std::string entry;  // "" : none, never listed
    bool deleted;       // with a keep line that spares nothing
  } rows[] = {
      {"no bracket.txt", "no bracket", true},
      {"[leading].txt", "[leading]", true},
      {"[1]", "", false},  // too short to lose ".txt", and not a cookie file
      {"[", "", false},
      {long300 + ".txt", long300, true},
      {long300 + "[1].txt", long300, true},
      {std::string(300, '['), std::string(296, '['), false},
      {"caf\xE9@site[1].txt", "caf\xE9@site", true},
      {"\xC9T\xC9@SITE[1].TXT", "\xC9T\xC9@SITE", true},
      {"\x80\xFF[2].txt", "\x80\xFF", true},
      {"index.dat", "", false},
      {"INDEX[1].txt", "", false},  // the browser's index, whatever it ends with
      {".txt", "", true},           // a cookie file naming no site is not spared
      {"name[1].dat", "name", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto listed = manager::IeEntries({row.name});
    EXPECT_EQ(listed, row.entry.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.entry});
    EXPECT_EQ(IeCookieFilesToDelete({row.name}, "").size(), row.deleted ? 1u : 0u);
    // Ticked in the manager, the file is spared.
    if (!row.entry.empty()) {
      EXPECT_TRUE(IeCookieFilesToDelete({row.name}, cookies::FormatKeepLine({row.entry})).empty());
    }
  }
}

TEST(BadCookieNames, LetterCaseFoldsAsciiOnly) {
  // "É" and "é" are different bytes, so two sites; "A" and "a" are one.
  const auto listed = manager::IeEntries({"caf\xE9[1].txt", "CAF\xC9[1].txt", "Caf\xE9[2].txt"});
  EXPECT_EQ(listed, (std::vector<std::string>{"caf\xE9", "CAF\xC9"}));
  EXPECT_EQ(IeCookieFilesToDelete({"caf\xE9[1].txt", "CAF\xC9[1].txt"}, "#CAF\xE9#"),
            std::vector<std::string>{"CAF\xC9[1].txt"});
}

}  // namespace
}  // namespace vendrolix::cleaner
