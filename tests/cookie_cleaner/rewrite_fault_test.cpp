// The cleaner's rewrite of "Cookies.txt" under faults: a failed step is
// reported and leaves the file as it was; wherever the power goes, the file
// is the old one or the cleaned one, byte for byte.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "atomic_write.h"
#include "cleaning.h"
#include "fake_ie_store.h"
#include "fault_files.h"

namespace vendrolix::cleaner {
namespace {

using test::FaultFiles;

constexpr const char* kProfile = "C:\\Users\\joe\\AppData\\Mozilla\\Profiles\\default\\abcd.slt";
const std::string kCookieFile = std::string(kProfile) + "\\Cookies.txt";

// A machine whose only file writes go through the atomic replacement.
class DiskMachine final : public Machine {
 public:
  explicit DiskMachine(FaultFiles& disk) : disk_(disk) {}
  std::optional<std::string> ReadKeepFile(const std::string&) override { return std::string("#.kept.com#\r\n"); }
  std::optional<std::string> ShellFolder(const std::string&) override { return std::nullopt; }
  std::optional<std::string> StoredNetscapeProfile() override { return std::string(kProfile); }
  bool FolderExists(const std::string&) override { return true; }
  bool FileExists(const std::string& path) override { return disk_.files.count(path) > 0; }
  std::vector<std::string> SubfoldersOf(const std::string&) override { return {}; }
  bool IsPlainLocal(const std::string&) override { return true; }
  std::optional<std::string> ReadBytes(const std::string& path) override {
    const auto it = disk_.files.find(path);
    if (it == disk_.files.end()) return std::nullopt;
    return it->second;
  }
  bool ReplaceBytes(const std::string& path, const std::string& content) override {
    return WriteFileAtomically(disk_, path, content);
  }
  cookies::IeCookieStore& IeStore() override { return store_; }

 private:
  FaultFiles& disk_;
  test::FakeIeStore store_;
};

struct CookieFile {
  const char* what;
  std::string content;
  std::string cleaned;
};

std::vector<CookieFile> CookieFiles() {
  std::string many;
  std::string manyKept;
  for (int i = 0; i < 3000; ++i) {
    const std::string kept = ".kept.com\tTRUE\t/\tFALSE\t0\tk" + std::to_string(i) + "\tv\r\n";
    many += kept + ".gone.com\tTRUE\t/\tFALSE\t0\tg\tv\r\n";
    manyKept += kept;
  }
  return {
      {"crlf", "# Netscape HTTP Cookie File\r\n.kept.com\tTRUE\t/\tFALSE\t0\tid\t1\r\n.gone.com\tTRUE\t/\tFALSE\t0\tid\t2\r\n",
       "# Netscape HTTP Cookie File\r\n.kept.com\tTRUE\t/\tFALSE\t0\tid\t1\r\n"},
      {"mixed ends, no final end", ".gone.com\tx\n.KEPT.com\ty\r\n\r.gone.com\tz", ".KEPT.com\ty\r\n\r"},
      {"nothing kept", ".gone.com\tx\r\n", ""},
      {"3000 lines beyond the listing's 1000", many, manyKept},
  };
}

TEST(RewriteFaults, TheFileIsTheOldOrTheCleanedOneAndTheOutcomeSaysWhich) {
  for (const CookieFile& f : CookieFiles()) {
    SCOPED_TRACE(f.what);
    test::ExpectOldOrNewUnderFaults(kCookieFile, f.content, f.cleaned, [](FaultFiles& disk) {
      DiskMachine machine(disk);
      const Outcome outcome = CleanNetscapeCookies(machine);
      EXPECT_TRUE(outcome.acted);
      EXPECT_LE(outcome.failures, 1);
      EXPECT_EQ(outcome.removed > 0, outcome.failures == 0);
      return outcome.failures == 0;
    });
  }
}

}  // namespace
}  // namespace vendrolix::cleaner
