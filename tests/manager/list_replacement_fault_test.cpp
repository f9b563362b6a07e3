// The manager's lists on disk under faults: whatever step of the replacement
// fails, and wherever the power goes, WebSite.dat and the keep lists hold the
// old content or the new one byte for byte, and read back as one or the other.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "atomic_write.h"
#include "cookies.h"
#include "fault_files.h"
#include "lines.h"
#include "manager_logic.h"
#include "settings.h"

namespace vendrolix::manager {
namespace {

using test::FaultFiles;

struct ListFile {
  const char* name;
  std::optional<std::string> old;  // nullopt: no file yet
  std::string replacement;
};

std::string BigList() {
  std::vector<std::string> entries;
  for (int i = 0; i < 5000; ++i) entries.push_back("site" + std::to_string(i) + ".example");
  return FormatWebSiteList(entries);
}

std::vector<ListFile> Files() {
  return {
      {file::WhiteList, FormatWebSiteList({"alpha.com", "Beta.org"}), FormatWebSiteList({"alpha.com", "gamma.net"})},
      {file::WhiteList, std::nullopt, FormatWebSiteList({"first.com"})},
      {file::WhiteList, FormatWebSiteList({"a", "b", "c"}), FormatWebSiteList({})},
      {file::WhiteList, FormatWebSiteList({"small.com"}), BigList()},
      {file::IeKeepList, cookies::FormatKeepFile({"joe@kept", "ann@bank"}), cookies::FormatKeepFile({"joe@kept"})},
      {file::IeKeepList, std::nullopt, cookies::FormatKeepFile({})},
      {file::NsKeepList, cookies::FormatKeepFile({".example.com"}),
       cookies::FormatKeepFile({".example.com", ".news.test"})},
  };
}

std::string PathOf(const ListFile& f) { return std::string("C:\\Program Files\\Vendrolix\\") + f.name; }

FaultFiles Disk(const ListFile& f) {
  FaultFiles disk;
  if (f.old) disk.files[PathOf(f)] = *f.old;
  return disk;
}

void ExpectOld(const FaultFiles& disk, const ListFile& f) {
  const auto it = disk.files.find(PathOf(f));
  if (f.old) {
    ASSERT_NE(it, disk.files.end());
    EXPECT_EQ(it->second, *f.old);
  } else {
    EXPECT_EQ(it, disk.files.end());
  }
}

TEST(ListReplacementFaults, AFailedStepLeavesTheOldFileAndNoTemporaryFile) {
  for (const ListFile& f : Files()) {
    for (const auto step : test::kFailingSteps) {
      SCOPED_TRACE(std::string(f.name) + " step " + std::to_string(static_cast<int>(step)));
      FaultFiles disk = Disk(f);
      disk.failAt = step;
      EXPECT_FALSE(WriteFileAtomically(disk, PathOf(f), f.replacement));
      ExpectOld(disk, f);
      EXPECT_EQ(disk.files.size(), f.old ? 1u : 0u) << "a temporary file was left behind";
    }
  }
}

// A reader that holds the file (the browser helper reads the white list at
// every new-window request) refuses the replacement until it lets go: the
// replacement is tried again for about half a second before the save fails.
TEST(ListReplacementFaults, AReplacementRefusedForAWhileIsTriedAgain) {
  struct Case {
    int failures;  // -1: refused for good
    bool replaced;
  };
  const Case cases[] = {{1, true}, {kReplaceAttempts - 1, true}, {kReplaceAttempts, false}, {-1, false}};
  for (const ListFile& f : Files()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(f.name) + " refused " + std::to_string(c.failures) + " times");
      FaultFiles disk = Disk(f);
      disk.failAt = FaultFiles::Step::Replace;
      disk.failures = c.failures;
      EXPECT_EQ(WriteFileAtomically(disk, PathOf(f), f.replacement), c.replaced);
      if (c.replaced) {
        EXPECT_EQ(disk.files[PathOf(f)], f.replacement);
        EXPECT_EQ(disk.files.size(), 1u);
      } else {
        ExpectOld(disk, f);
        EXPECT_EQ(disk.files.size(), f.old ? 1u : 0u) << "a temporary file was left behind";
      }
      EXPECT_GT(disk.paused, 0);
      EXPECT_LE(disk.paused, 600) << "a person waits on the save";
    }
  }
}

TEST(ListReplacementFaults, PowerLossAtAnyPointLeavesTheOldOrTheNewFile) {
  for (const ListFile& f : Files()) {
    FaultFiles whole = Disk(f);
    ASSERT_TRUE(WriteFileAtomically(whole, PathOf(f), f.replacement));
    for (int cut = 0; cut <= whole.operations(); ++cut) {
      SCOPED_TRACE(std::string(f.name) + " cut after " + std::to_string(cut));
      FaultFiles disk = Disk(f);
      disk.cutAfter = cut;
      const bool done = WriteFileAtomically(disk, PathOf(f), f.replacement);
      const auto it = disk.files.find(PathOf(f));
      if (it == disk.files.end()) {
        EXPECT_FALSE(f.old.has_value());
        EXPECT_FALSE(done);
        continue;
      }
      EXPECT_TRUE(it->second == f.replacement || (f.old && it->second == *f.old));
      if (done) {
        EXPECT_EQ(it->second, f.replacement);
      }
    }
  }
}

TEST(ListReplacementFaults, WhatIsLeftReadsAsTheOldOrTheNewList) {
  const ListFile f = Files()[0];
  for (int cut = 0; cut <= 8; ++cut) {
    FaultFiles disk = Disk(f);
    disk.cutAfter = cut;
    WriteFileAtomically(disk, PathOf(f), f.replacement);
    const auto shown = ParseWebSiteList(disk.files[PathOf(f)]);
    EXPECT_TRUE(shown == ParseWebSiteList(*f.old) || shown == ParseWebSiteList(f.replacement)) << "cut " << cut;
  }
}

}  // namespace
}  // namespace vendrolix::manager
