// Cookie file names where the store's index cannot be read and the files are
// all there is: the name never gives a site, the records do; a name of the
// old style ("user@site[1].txt") only still spares what keep lists saved
// from it, and lists a file whose records are damaged, which is never
// deleted. The manager and the cleaner must agree on every row.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cookies.h"
#include "fake_ie_store.h"
#include "ie_cookies.h"

namespace vendrolix::cleaner {
namespace {

std::vector<std::string> Entries(const std::vector<cookies::IeSite>& sites) {
  std::vector<std::string> entries;
  for (const auto& site : sites) entries.push_back(site.entry);
  return entries;
}

TEST(OldStyleNames, ListingAndDeletionWithoutTheIndex) {
  const std::string long300(300, 'a');
  const struct Row {
    std::string name;
    std::string oldEntry;  // what an older keep list named it by; "" none
    bool cookieFile;       // looked at at all
  } rows[] = {
      {"joe@site[1].txt", "joe@site", true},
      {"JOE@SITE[2].TXT", "JOE@SITE", true},
      {"caf\xE9@site[1].txt", "caf\xE9@site", true},
      {long300 + "@x[1].txt", long300 + "@x", true},
      {"5IHP3ER5.txt", "", true},  // today's random names
      {"deep[0].txt", "", true},   // the store's name for a path, no user
      {"[1]joe@x.txt", "", true},
      {"@site[1].txt", "", true},
      {"joe@[1].txt", "", true},
      {"index.dat", "", false},
      {"INDEX[1].txt", "", false},  // the browser's index, whatever it ends with
      {"joe@site[1].dat", "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (const bool damaged : {false, true}) {
      test::FakeIeStore store;
      store.index.reset();
      store.folders = {"C:\\C"};
      store.files["C:\\C\\" + row.name] = damaged ? "id\nv\nsite.com/\n" : test::CookieRecord(".site.com/");
      const auto found = cookies::ReadIeCookies(store, std::string("C:\\C"));
      ASSERT_TRUE(found.read);
      const auto sites = cookies::IeSites(found.cookies);
      std::vector<std::string> listed;
      if (row.cookieFile && !damaged) listed = {"joe@site.com"};
      if (row.cookieFile && damaged && !row.oldEntry.empty()) listed = {row.oldEntry};
      EXPECT_EQ(Entries(sites), listed) << damaged;
      EXPECT_EQ(cookies::IeCookiesToDelete(found.cookies, "").size(), row.cookieFile && !damaged ? 1u : 0u);
      // Ticked in the manager, under either name, the file is spared.
      for (const std::string& entry : listed) {
        EXPECT_TRUE(cookies::IeCookiesToDelete(found.cookies, cookies::FormatKeepLine({entry})).empty());
      }
      if (!row.oldEntry.empty()) {
        EXPECT_TRUE(cookies::IeCookiesToDelete(found.cookies, cookies::FormatKeepLine({row.oldEntry})).empty());
      }
    }
  }
}

TEST(OldStyleNames, LetterCaseFoldsAsciiOnly) {
  // "É" and "é" are different bytes, so two sites; "A" and "a" are one.
  std::vector<cookies::IeCookie> found;
  for (const char* site : {"joe@caf\xE9.com", "JOE@CAF\xC9.COM", "Joe@Caf\xE9.com"}) {
    found.push_back({{site}, "", std::string("Cookie:") + site + "/", ""});
  }
  EXPECT_EQ(Entries(cookies::IeSites(found)), (std::vector<std::string>{"joe@caf\xE9.com", "JOE@CAF\xC9.COM"}));
  const auto doomed = cookies::IeCookiesToDelete(found, "#JOE@CAF\xE9.COM#");
  ASSERT_EQ(doomed.size(), 1u);
  EXPECT_EQ(doomed[0]->entryName, "Cookie:JOE@CAF\xC9.COM/");
}

}  // namespace
}  // namespace vendrolix::cleaner
